#include "Shell.h"
#include "ScriptedPrompts.h"

#include <gtest/gtest.h>

using namespace tessaly;

class Shell : public ::testing::Test {
  protected:
    void SetUp() override {
        setShellLauncher([this](const std::string& t) {
            launched.push_back(t);
            return result;
        });
    }
    void TearDown() override { setShellLauncher({}); }
    ScriptedPrompts prompts;
    std::vector<std::string> launched;
    int result = 42;
};

TEST_F(Shell, FailureCodesShowTheirText) {
    struct Case {
        int code;
        const char* text;
    };
    const Case cases[] = {
        {0, "The operating system is out of memory or resources."},
        {2, "The specified file was not found."},
        {31, "There is no application associated with the given filename extension."},
        {32, "The specified dynamic-link library was not found."},
        {7, "An unknown error occurred when trying to load file in associated application."},
    };
    for (const auto& c : cases) {
        prompts.messages.clear();
        ShowShellError(c.code);
        ASSERT_EQ(prompts.messages.size(), 1u) << c.code;
        EXPECT_EQ(prompts.messages[0].text, std::string("Unable to execute file:\n\n") + c.text);
        EXPECT_EQ(prompts.messages[0].caption, "Error");
        EXPECT_EQ(prompts.messages[0].icon, PromptIcon::Warning);
    }
    prompts.messages.clear();
    ShowShellError(33);
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(Shell, OpenDocumentReportsWhatTheDesktopCouldNotOpen) {
    result = 31;
    OpenDocument("/tmp/report.xyz");
    EXPECT_EQ(launched, std::vector<std::string>{"/tmp/report.xyz"});
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text,
              "Unable to execute file:\n\nThere is no application associated with the given "
              "filename extension.");
}

TEST_F(Shell, TooLongPathIsRefusedAsAMissingFile) {
    std::string longPath = "/" + std::string(255, 'a');
    EXPECT_EQ(ShellOpen(longPath), 2);
    EXPECT_TRUE(launched.empty());
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "The path to the file is too long, please ensure the path "
                                        "is less than 255 characters.");
    EXPECT_EQ(ShellOpen(longPath.substr(1)), 42);
}

TEST(ShellDesktop, MissingLocalFileGivesCode2) {
    setShellLauncher({});
    EXPECT_EQ(ShellOpen("/no/such/file.html"), 2);
}
