#include "FtpReplyReader.h"

#include <cstring>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Decimal digits from pos on, saturating well below int's limit.
long long ReadNumber(std::string_view text, size_t& pos) {
    long long value = 0;
    while (pos < text.size() && IsDigit(text[pos])) {
        if (value < 100000000)
            value = value * 10 + (text[pos] - '0');
        else
            value = 999999999;
        ++pos;
    }
    return value;
}

} // namespace

void TFtpReplyReader::Commit(int count) {
    if (count > 0 && count <= Space())
        m_count += count;
}

int TFtpReplyReader::Append(const char* data, int len) {
    const int take = len < Space() ? len : Space();
    if (take <= 0)
        return 0;
    std::memcpy(m_buf + m_count, data, size_t(take));
    m_count += take;
    return take;
}

bool TFtpReplyReader::NextLine(bool acceptLF, std::string& line) {
    int end = -1; // index of the line feed ending the line
    for (int i = 0; i < m_count; ++i) {
        if (m_buf[i] != '\n')
            continue;
        if (acceptLF || (i > 0 && m_buf[i - 1] == '\r')) {
            end = i;
            break;
        }
    }
    if (end < 0)
        return false;
    int len = end;
    while (len > 0 && (m_buf[len - 1] == '\r' || m_buf[len - 1] == '\n'))
        --len;
    line.assign(m_buf, size_t(len));
    m_replySize += size_t(end) + 1;
    m_tooLong = m_replySize > MaxReplySize;
    if (IsFinalReply(line))
        m_replySize = 0;
    const int rest = m_count - (end + 1);
    std::memmove(m_buf, m_buf + end + 1, size_t(rest));
    m_count = rest;
    return true;
}

int ParseReplyCode(std::string_view line) {
    size_t pos = 0;
    while (pos < line.size() &&
           (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r' || line[pos] == '\n'))
        ++pos;
    bool negative = false;
    if (pos < line.size() && (line[pos] == '+' || line[pos] == '-')) {
        negative = line[pos] == '-';
        ++pos;
    }
    const long long value = ReadNumber(line, pos);
    return int(negative ? -value : value);
}

bool IsFinalReply(std::string_view line) {
    if (line.empty() || !IsDigit(line[0]))
        return false;
    size_t pos = 0;
    ReadNumber(line, pos);
    return pos >= line.size() || line[pos] != '-';
}

std::string ExtractDirResult(std::string_view line) {
    size_t pos = 0;
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t'))
        ++pos;
    if (pos < line.size() && (line[pos] == '+' || line[pos] == '-'))
        ++pos;
    ReadNumber(line, pos);
    const size_t open = line.find('"', pos);
    if (open == std::string_view::npos)
        return {};
    std::string dir;
    for (size_t i = open + 1; i < line.size(); ++i) {
        if (line[i] != '"') {
            dir += line[i];
        } else if (i + 1 < line.size() && line[i + 1] == '"') {
            dir += '"';
            ++i;
        } else {
            break;
        }
    }
    return dir;
}

bool ParsePasvPort(std::string_view reply, int& port) {
    size_t pos = reply.find('(');
    if (pos != std::string_view::npos) {
        ++pos;
    } else {
        pos = 4; // past the reply code
        while (pos < reply.size() && !IsDigit(reply[pos]))
            ++pos;
        if (pos >= reply.size())
            return false;
    }
    for (int field = 0; field < 4; ++field) {
        pos = reply.find(',', pos);
        if (pos == std::string_view::npos)
            return false;
        ++pos;
    }
    while (pos < reply.size() && reply[pos] == ' ')
        ++pos;
    const long long high = ReadNumber(reply, pos);
    pos = reply.find(',', pos);
    if (pos == std::string_view::npos)
        return false;
    ++pos;
    while (pos < reply.size() && reply[pos] == ' ')
        ++pos;
    const long long low = ReadNumber(reply, pos);
    port = int((high * 256 + low) % 65536);
    return true;
}

namespace {

// Length of the well-formed UTF-8 sequence at text[pos], or 0.
size_t Utf8Length(std::string_view text, size_t pos) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char c = byte(pos);
    size_t len = 0;
    unsigned min = 0;
    if (c >= 0xC2 && c <= 0xDF) {
        len = 2;
        min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        len = 3;
        min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        len = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (pos + len > text.size())
        return 0;
    unsigned value = c & (0x7F >> len);
    for (size_t i = 1; i < len; ++i) {
        if ((byte(pos + i) & 0xC0) != 0x80)
            return 0;
        value = (value << 6) | (byte(pos + i) & 0x3F);
    }
    if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    if (value >= 0x80 && value <= 0x9F) // C1 controls
        return 0;
    return len;
}

} // namespace

std::string EscapeServerText(std::string_view text) {
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x20 && c < 0x7F) {
            if (c == '\\')
                out += '\\';
            out += char(c);
            ++i;
            continue;
        }
        if (c >= 0x80) {
            if (const size_t len = Utf8Length(text, i); len > 0) {
                out.append(text.substr(i, len));
                i += len;
                continue;
            }
        }
        out += "\\x";
        out += hex[c >> 4];
        out += hex[c & 15];
        ++i;
    }
    return out;
}

std::string FormatTransferStatistics(long long bytes, long long milliseconds) {
    std::string text = "! " + std::to_string(bytes) + " bytes received/sent in " +
                       std::to_string(milliseconds / 1000) + " seconds";
    if (milliseconds != 0) {
        // Small counts are scaled before dividing, large ones after, so the
        // product cannot overflow.
        const long long rate =
            bytes <= 32767 ? bytes * 1000 / milliseconds : bytes / milliseconds * 1000;
        text += " (" + std::to_string(rate) + " Bytes/sec)";
    }
    return text;
}
