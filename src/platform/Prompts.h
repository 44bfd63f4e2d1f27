#pragma once
// One service for every message box, question, file or folder chooser and
// input box, so that tests and unattended runs can answer them and record
// what was shown.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tessaly {

enum class PromptIcon { None, Information, Warning, Error, Question };

// Button flags; a message's buttons are an OR of these.
enum PromptButton : int { NoButton = 0, Ok = 1, Cancel = 2, Yes = 4, No = 8 };

struct PromptMessage {
    std::string caption;
    std::string text;
    PromptIcon icon = PromptIcon::None;
    int buttons = Ok;
    PromptButton defaultButton = NoButton;
    // Captions for buttons whose standard text would say too little
    // ("Trust this certificate for this site" on Yes).
    std::vector<std::pair<PromptButton, std::string>> buttonTexts = {};
};

struct FileRequest {
    enum Kind { Open, Save, Folder };
    Kind kind = Open;
    std::string caption;
    // Filter in the "Description|*.a;*.b|All Files (*.*)|*.*" form.
    std::string filter;
    std::string initialFolder;
    std::string fileName;
    std::string defaultExt;
    bool overwritePrompt = false;
};

// A colour in the profile's form: $00BBGGRR.
struct ColorRequest {
    std::string caption;
    std::int32_t initial = 0;
};

struct InputRequest {
    std::string caption;
    std::string label;
    std::string text;
    // The answer is a secret (a password): shown as "*", never echoed.
    bool masked = false;
};

class PromptService {
  public:
    virtual ~PromptService() = default;
    virtual PromptButton message(const PromptMessage& msg) = 0;
    // The chosen path, or nothing when the user cancels.
    virtual std::optional<std::string> chooseFile(const FileRequest& req) = 0;
    virtual std::optional<std::string> inputText(const InputRequest& req) = 0;
    // Several existing files (an Open request); empty when the user cancels.
    virtual std::vector<std::string> chooseFiles(const FileRequest& req) = 0;
    // A custom colour ($00BBGGRR), or nothing when the user cancels.
    virtual std::optional<std::int32_t> chooseColor(const ColorRequest& req) = 0;
    // Whether someone can answer a dialog that needs a choice (the upload
    // target, the site manager). False where nobody is there to answer.
    virtual bool interactive() const { return true; }
};

// The service in force. Until one is installed, the console service (standard
// error, default answers) answers.
PromptService& prompts();
// Installs a service (not owned); nullptr restores the console service.
void setPrompts(PromptService* service);

// The application title, used as the caption of plain message boxes.
inline constexpr const char* kAppTitle = "Quorvane Google Tessaly";

// A plain message box: OK button, no icon, the application title as caption.
void showMessage(const std::string& text);
// A message box with icon and buttons; the default button is OK, else Yes,
// as the desktop's own message dialogs choose it.
PromptButton messageDlg(const std::string& text, const std::string& caption, PromptIcon icon,
                        int buttons);

// Answers every message with its default button on standard error, cancels
// choosers and input boxes. Used when nobody can answer a window.
class ConsolePrompts : public PromptService {
  public:
    PromptButton message(const PromptMessage& msg) override;
    std::optional<std::string> chooseFile(const FileRequest& req) override;
    std::optional<std::string> inputText(const InputRequest& req) override;
    std::vector<std::string> chooseFiles(const FileRequest& req) override;
    std::optional<std::int32_t> chooseColor(const ColorRequest& req) override;
    bool interactive() const override { return false; }
};

// The answer a message takes when nobody is there: its default button; for a
// lone OK, OK; otherwise Cancel (or No when there is no Cancel).
PromptButton defaultAnswer(const PromptMessage& msg);

} // namespace tessaly
