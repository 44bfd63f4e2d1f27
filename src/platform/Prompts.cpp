#include "Prompts.h"

#include <cstdio>

namespace tessaly {

namespace {
ConsolePrompts consolePrompts;
PromptService* current = nullptr;
} // namespace

PromptService& prompts() {
    return current ? *current : consolePrompts;
}

void setPrompts(PromptService* service) {
    current = service;
}

void showMessage(const std::string& text) {
    prompts().message({kAppTitle, text, PromptIcon::None, Ok, Ok});
}

PromptButton messageDlg(const std::string& text, const std::string& caption, PromptIcon icon,
                        int buttons) {
    PromptButton def = (buttons & Ok) ? Ok : (buttons & Yes) ? Yes : NoButton;
    return prompts().message({caption, text, icon, buttons, def});
}

PromptButton defaultAnswer(const PromptMessage& msg) {
    if (msg.defaultButton != NoButton && (msg.buttons & msg.defaultButton))
        return msg.defaultButton;
    if (msg.buttons == Ok)
        return Ok;
    if (msg.buttons & Cancel)
        return Cancel;
    if (msg.buttons & No)
        return No;
    return NoButton;
}

PromptButton ConsolePrompts::message(const PromptMessage& msg) {
    std::fprintf(stderr, "%s: %s\n", msg.caption.c_str(), msg.text.c_str());
    return defaultAnswer(msg);
}

std::optional<std::string> ConsolePrompts::chooseFile(const FileRequest& req) {
    std::fprintf(stderr, "%s: no one to choose a file; cancelled\n",
                 req.caption.empty() ? kAppTitle : req.caption.c_str());
    return std::nullopt;
}

std::optional<std::string> ConsolePrompts::inputText(const InputRequest& req) {
    std::fprintf(stderr, "%s: no one to answer \"%s\"; cancelled\n", req.caption.c_str(),
                 req.label.c_str());
    return std::nullopt;
}

std::vector<std::string> ConsolePrompts::chooseFiles(const FileRequest& req) {
    chooseFile(req);
    return {};
}

std::optional<std::int32_t> ConsolePrompts::chooseColor(const ColorRequest& req) {
    std::fprintf(stderr, "%s: no one to choose a colour; cancelled\n",
                 req.caption.empty() ? kAppTitle : req.caption.c_str());
    return std::nullopt;
}

} // namespace tessaly
