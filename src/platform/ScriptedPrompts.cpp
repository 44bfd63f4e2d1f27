#include "ScriptedPrompts.h"

namespace tessaly {

PromptButton ScriptedPrompts::message(const PromptMessage& msg) {
    messages.push_back(msg);
    if (onMessage)
        onMessage(msg);
    if (answers_.empty())
        return defaultAnswer(msg);
    PromptButton b = answers_.front();
    answers_.pop_front();
    return b;
}

std::optional<std::string> ScriptedPrompts::chooseFile(const FileRequest& req) {
    fileRequests.push_back(req);
    if (files_.empty())
        return std::nullopt;
    auto f = files_.front();
    files_.pop_front();
    return f;
}

std::optional<std::string> ScriptedPrompts::inputText(const InputRequest& req) {
    inputRequests.push_back(req);
    if (inputs_.empty())
        return std::nullopt;
    auto t = inputs_.front();
    inputs_.pop_front();
    return t;
}

std::vector<std::string> ScriptedPrompts::chooseFiles(const FileRequest& req) {
    fileRequests.push_back(req);
    if (fileSets_.empty())
        return {};
    auto f = std::move(fileSets_.front());
    fileSets_.pop_front();
    return f;
}

std::optional<std::int32_t> ScriptedPrompts::chooseColor(const ColorRequest& req) {
    colorRequests.push_back(req);
    if (colors_.empty())
        return std::nullopt;
    auto c = colors_.front();
    colors_.pop_front();
    return c;
}

std::vector<std::string> ScriptedPrompts::texts() const {
    std::vector<std::string> out;
    for (const auto& m : messages)
        out.push_back(m.text);
    return out;
}

} // namespace tessaly
