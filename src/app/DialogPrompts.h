#pragma once
#include "Prompts.h"

namespace tessaly {

// The prompt service with real message boxes, file choosers and input boxes.
class DialogPrompts : public PromptService {
  public:
    PromptButton message(const PromptMessage& msg) override;
    std::optional<std::string> chooseFile(const FileRequest& req) override;
    std::optional<std::string> inputText(const InputRequest& req) override;
    std::vector<std::string> chooseFiles(const FileRequest& req) override;
    std::optional<std::int32_t> chooseColor(const ColorRequest& req) override;
};

} // namespace tessaly
