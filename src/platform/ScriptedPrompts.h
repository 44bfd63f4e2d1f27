#pragma once
// A prompt service for tests: answers from a script given in advance and
// records everything that was shown.
#include "Prompts.h"

#include <deque>
#include <functional>
#include <vector>

namespace tessaly {

class ScriptedPrompts : public PromptService {
  public:
    ScriptedPrompts() { setPrompts(this); }
    ~ScriptedPrompts() override { setPrompts(nullptr); }
    ScriptedPrompts(const ScriptedPrompts&) = delete;
    ScriptedPrompts& operator=(const ScriptedPrompts&) = delete;

    // Answers for the next messages, in order; with none left a message takes
    // its default answer.
    void answer(PromptButton b) { answers_.push_back(b); }
    // The next file chooser returns this path (nothing = the user cancels).
    void chooseFileNext(std::optional<std::string> path) { files_.push_back(std::move(path)); }
    void inputNext(std::optional<std::string> text) { inputs_.push_back(std::move(text)); }
    // The next multiple-file chooser returns these paths (empty = cancelled).
    void chooseFilesNext(std::vector<std::string> paths) { fileSets_.push_back(std::move(paths)); }
    // The next colour chooser returns this colour (nothing = cancelled).
    void chooseColorNext(std::optional<std::int32_t> color) { colors_.push_back(color); }
    // Called when a message is shown, before it is answered.
    std::function<void(const PromptMessage&)> onMessage;

    PromptButton message(const PromptMessage& msg) override;
    std::optional<std::string> chooseFile(const FileRequest& req) override;
    std::optional<std::string> inputText(const InputRequest& req) override;
    std::vector<std::string> chooseFiles(const FileRequest& req) override;
    std::optional<std::int32_t> chooseColor(const ColorRequest& req) override;

    std::vector<PromptMessage> messages;
    std::vector<FileRequest> fileRequests;
    std::vector<InputRequest> inputRequests;
    std::vector<ColorRequest> colorRequests;

    // Texts of the recorded messages, for compact assertions.
    std::vector<std::string> texts() const;

  private:
    std::deque<PromptButton> answers_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::optional<std::string>> inputs_;
    std::deque<std::vector<std::string>> fileSets_;
    std::deque<std::optional<std::int32_t>> colors_;
};

} // namespace tessaly
