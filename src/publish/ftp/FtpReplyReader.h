#pragma once

// Reply text of the FTP control connection: the fixed receive buffer that
// cuts incoming bytes into lines, and the readers of a reply line's parts.

#include <string>
#include <string_view>

class TFtpReplyReader {
  public:
    static constexpr int BufferSize = 4096;
    // A reply (all its lines up to the final one) may not be longer: a
    // server that never ends one would otherwise be followed forever.
    static constexpr size_t MaxReplySize = 64 * 1024;

    // Bytes the next receive may add: at most 4095 minus what is held.
    int Space() const { return BufferSize - 1 - m_count; }
    // Where the next receive writes; Commit records how much it wrote.
    char* WritePos() { return m_buf + m_count; }
    void Commit(int count);
    // Copies as much of data as Space allows; returns the count taken.
    int Append(const char* data, int len);

    // Takes the next complete line, without its trailing CR and LF
    // characters. The line end is a line feed when acceptLF is set, else CR LF.
    bool NextLine(bool acceptLF, std::string& line);
    // The reply the last line taken belongs to has grown past MaxReplySize.
    bool ReplyTooLong() const { return m_tooLong; }
    // True when the held text fills the buffer without a line end, so no
    // line end can ever arrive.
    bool Full() const { return m_count >= BufferSize - 1; }
    int Held() const { return m_count; }
    void Clear() {
        m_count = 0;
        m_replySize = 0;
        m_tooLong = false;
    }

  private:
    char m_buf[BufferSize] = {};
    int m_count = 0;
    size_t m_replySize = 0;
    bool m_tooLong = false;
};

// The reply code: blanks, tabs, CR and LF skipped, an optional sign, decimal
// digits. 0 when there are no digits; very long numbers saturate.
int ParseReplyCode(std::string_view line);

// A final reply line begins with a digit and the character after the number
// is not "-"; continuation lines and text without a code are not final.
bool IsFinalReply(std::string_view line);

// The folder named in a CWD, MKD or PWD reply: after the code and blanks, the
// text between the first double quote and the next single one, where two
// double quotes in a row stand for one. Empty when the line has no quote.
std::string ExtractDirResult(std::string_view line);

// The data port of a 227 reply: after the first "(", four comma-ended fields
// are skipped, then the high byte up to "," and the low byte up to ")".
// Replies without "(" are read from their first digit on. False when the
// fields are missing.
bool ParsePasvPort(std::string_view reply, int& port);

// Text from a server made safe to show on a terminal or in a window: control
// characters (C0, DEL, C1) and bytes that are not UTF-8 are written as \xHH,
// and a backslash as \\, so nothing the server sends can move the cursor,
// retitle or clear a terminal.
std::string EscapeServerText(std::string_view text);

// "! <bytes> bytes received/sent in <s> seconds", plus " (<rate> Bytes/sec)"
// when the elapsed time is not 0.
std::string FormatTransferStatistics(long long bytes, long long milliseconds);
