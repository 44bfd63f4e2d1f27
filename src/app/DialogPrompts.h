#pragma once
#include "Prompts.h"

namespace tessaly {

// The prompt service with real message boxes, file choosers and input boxes.
class DialogPrompts : public PromptService {
  public:
    PromptButton message(const PromptMessage& msg) override;
    std::optional<std::string> chooseFile(const FileRequest& req) override;
    std::optional<std::string> inputText(const InputRequest& req) override;
};

} // namespace tessaly
