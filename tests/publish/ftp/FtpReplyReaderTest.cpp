#include "FtpReplyReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> Lines(const std::string& input, bool acceptLF, int* held = nullptr) {
    TFtpReplyReader reader;
    reader.Append(input.data(), int(input.size()));
    std::vector<std::string> lines;
    std::string line;
    while (reader.NextLine(acceptLF, line))
        lines.push_back(line);
    if (held)
        *held = reader.Held();
    return lines;
}

struct SplitCase {
    std::string input;
    bool acceptLF;
    std::vector<std::string> lines;
    int held;
};

class ReplyReaderSplit : public ::testing::TestWithParam<SplitCase> {};

TEST_P(ReplyReaderSplit, CutsLinesAndKeepsTheRest) {
    const SplitCase& c = GetParam();
    int held = -1;
    EXPECT_EQ(Lines(c.input, c.acceptLF, &held), c.lines);
    EXPECT_EQ(held, c.held);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyReaderSplit,
    ::testing::Values(SplitCase{"220 ready\r\n", true, {"220 ready"}, 0},
                      SplitCase{"220 ready\n", true, {"220 ready"}, 0},
                      // Without ftpAcceptLF a bare line feed does not end the line.
                      SplitCase{"220 a\nb\r\n", false, {"220 a\nb"}, 0},
                      SplitCase{"220 ready\n", false, {}, 10},
                      SplitCase{"220-one\r\n220-two\r\n220 three\r\n331 pa",
                                true,
                                {"220-one", "220-two", "220 three"},
                                6},
                      // Every trailing CR and LF goes, nothing in the middle.
                      SplitCase{"250 x\r\r\n", true, {"250 x"}, 0},
                      SplitCase{"\r\n\n", true, {"", ""}, 0}, SplitCase{"", true, {}, 0}));

TEST(ReplyReader, TakesAtMost4095BytesAndReportsAFullBuffer) {
    TFtpReplyReader reader;
    const std::string big(5000, 'x');
    EXPECT_EQ(reader.Append(big.data(), int(big.size())), 4095);
    EXPECT_EQ(reader.Space(), 0);
    EXPECT_TRUE(reader.Full());
    std::string line;
    EXPECT_FALSE(reader.NextLine(true, line));
}

TEST(ReplyReader, ALineOf4094BytesStillFits) {
    TFtpReplyReader reader;
    const std::string input = "220 " + std::string(4090, 'x') + "\n";
    EXPECT_EQ(reader.Append(input.data(), int(input.size())), int(input.size()));
    std::string line;
    ASSERT_TRUE(reader.NextLine(true, line));
    EXPECT_EQ(line.size(), 4094u);
    EXPECT_EQ(reader.Space(), 4095);
}

struct CodeCase {
    std::string line;
    int code;
    bool final;
};

class ReplyCode : public ::testing::TestWithParam<CodeCase> {};

TEST_P(ReplyCode, ReadsCodeAndFinality) {
    EXPECT_EQ(ParseReplyCode(GetParam().line), GetParam().code) << GetParam().line;
    EXPECT_EQ(IsFinalReply(GetParam().line), GetParam().final) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReplyCode,
    ::testing::Values(CodeCase{"220 ready", 220, true}, CodeCase{"220-welcome", 220, false},
                      CodeCase{"226", 226, true}, CodeCase{" 230 indented", 230, false},
                      CodeCase{"\t\r\n+331 sign", 331, false}, CodeCase{"-5 x", -5, false},
                      CodeCase{"text without code", 0, false}, CodeCase{"", 0, false},
                      CodeCase{"99999999999999999999 x", 999999999, true}));

struct DirCase {
    std::string line;
    std::string dir;
};

class DirResult : public ::testing::TestWithParam<DirCase> {};

TEST_P(DirResult, TakesTheQuotedFolder) {
    EXPECT_EQ(ExtractDirResult(GetParam().line), GetParam().dir) << GetParam().line;
}

INSTANTIATE_TEST_SUITE_P(Cases, DirResult,
                         ::testing::Values(DirCase{"257 \"/pub/site\" is current directory.",
                                                   "/pub/site"},
                                           DirCase{"257 \"/a \"\"q\"\" b\" created", "/a \"q\" b"},
                                           DirCase{"250 \"/x\"\"\"", "/x\""},
                                           DirCase{"250 \"/open ended", "/open ended"},
                                           DirCase{"250 CWD command successful.", ""},
                                           DirCase{"257 MKD \"dir\" ok", "dir"}));

struct PasvCase {
    std::string reply;
    bool ok;
    int port;
};

class PasvPort : public ::testing::TestWithParam<PasvCase> {};

TEST_P(PasvPort, ReadsThePortFields) {
    int port = -1;
    EXPECT_EQ(ParsePasvPort(GetParam().reply, port), GetParam().ok) << GetParam().reply;
    if (GetParam().ok) {
        EXPECT_EQ(port, GetParam().port) << GetParam().reply;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PasvPort,
    ::testing::Values(PasvCase{"227 Entering Passive Mode (127,0,0,1,195,80).", true, 50000},
                      PasvCase{"227 Entering Passive Mode (10,9,8,7,0,21)", true, 21},
                      PasvCase{"227 Entering Passive Mode 127,0,0,1,4,1", true, 1025},
                      // The port wraps around as the byte arithmetic does.
                      PasvCase{"227 (1,2,3,4,256,1)", true, 1},
                      PasvCase{"227 (1,2,3,4,5)", false, 0}, PasvCase{"227 ok", false, 0}));

TEST(TransferStatistics, ScalesSmallAndLargeCountsWithoutOverflow) {
    EXPECT_EQ(FormatTransferStatistics(1000, 0), "! 1000 bytes received/sent in 0 seconds");
    EXPECT_EQ(FormatTransferStatistics(1000, 500),
              "! 1000 bytes received/sent in 0 seconds (2000 Bytes/sec)");
    EXPECT_EQ(FormatTransferStatistics(20000000, 2500),
              "! 20000000 bytes received/sent in 2 seconds (8000000 Bytes/sec)");
}

struct EscapeCase {
    std::string in;
    std::string out;
};

class EscapeText : public ::testing::TestWithParam<EscapeCase> {};

TEST_P(EscapeText, ShowsControlsAndBrokenBytesEscaped) {
    EXPECT_EQ(EscapeServerText(GetParam().in), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EscapeText,
    ::testing::Values(EscapeCase{"250 plain text", "250 plain text"},
                      EscapeCase{"550 caf\xc3\xa9 \xe2\x82\xac", "550 caf\xc3\xa9 \xe2\x82\xac"},
                      EscapeCase{"\x1b]0;title\x07", "\\x1b]0;title\\x07"},
                      EscapeCase{"a\tb\x7f", "a\\x09b\\x7f"},
                      // C1 controls, as UTF-8 and as a lone byte; a cut sequence
                      EscapeCase{"\xc2\x9b"
                                 "2J \x9b \xe2\x82",
                                 "\\xc2\\x9b2J \\x9b \\xe2\\x82"},
                      // an over-long encoding of "/" and a surrogate
                      EscapeCase{"\xc0\xaf \xed\xa0\x80", "\\xc0\\xaf \\xed\\xa0\\x80"},
                      EscapeCase{"C:\\x1b", "C:\\\\x1b"},
                      EscapeCase{std::string("nul\0!", 5), "nul\\x00!"}));

TEST(ReplyReader, AReplyPast64KBIsTooLongUntilItsFinalLineResetsTheCount) {
    TFtpReplyReader reader;
    std::string line;
    const std::string continuation = "211-" + std::string(1000, 'f') + "\r\n";
    size_t taken = 0;
    while (!reader.ReplyTooLong()) {
        ASSERT_EQ(reader.Append(continuation.data(), int(continuation.size())),
                  int(continuation.size()));
        ASSERT_TRUE(reader.NextLine(true, line));
        taken += continuation.size();
        ASSERT_LE(taken, TFtpReplyReader::MaxReplySize + continuation.size());
    }
    EXPECT_GT(taken, TFtpReplyReader::MaxReplySize);
    // A reader cleared for a new connection starts counting afresh, and
    // short replies never add up.
    reader.Clear();
    for (int i = 0; i < 200; ++i) {
        const std::string reply = "211-x\r\n" + std::string(990, 'y') + "\r\n211 end\r\n";
        reader.Append(reply.data(), int(reply.size()));
        while (reader.NextLine(true, line))
            EXPECT_FALSE(reader.ReplyTooLong());
    }
}

} // namespace
