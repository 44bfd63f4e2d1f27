#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

using namespace tessaly;

TEST(Prompts, UnansweredMessagesTakeTheirDefault) {
    struct Case {
        int buttons;
        PromptButton def;
        PromptButton answer;
    };
    const Case cases[] = {
        {Ok, NoButton, Ok},
        {Yes | No, Yes, Yes},
        {Yes | No | Cancel, NoButton, Cancel},
        {Yes | No, NoButton, No},
        {Ok | Cancel, Cancel, Cancel},
    };
    for (const auto& c : cases)
        EXPECT_EQ(defaultAnswer({"c", "t", PromptIcon::None, c.buttons, c.def}), c.answer);
}

TEST(Prompts, QuestionsDefaultToYesAsDesktopDialogsDo) {
    ScriptedPrompts prompts;
    EXPECT_EQ(messageDlg("Sure?", "Confirm", PromptIcon::Question, Yes | No), Yes);
    EXPECT_EQ(prompts.messages[0].defaultButton, Yes);
    prompts.answer(No);
    EXPECT_EQ(messageDlg("Sure?", "Confirm", PromptIcon::Question, Yes | No), No);
}

TEST(Prompts, ConsoleServiceWritesToStandardErrorAndCancelsChoosers) {
    ConsolePrompts console;
    testing::internal::CaptureStderr();
    EXPECT_EQ(console.message({"Save Profile", "Save?", PromptIcon::Question,
                               Yes | No | PromptButton::Cancel, NoButton}),
              PromptButton::Cancel);
    EXPECT_FALSE(console.chooseFile({}).has_value());
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("Save Profile: Save?"), std::string::npos) << err;
}
