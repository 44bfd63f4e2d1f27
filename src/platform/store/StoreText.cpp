#include "StoreText.h"

namespace tessaly {

namespace {

const char kHex[] = "0123456789ABCDEF";

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool IsControl(unsigned char c) {
    return c < 0x20 || c == 0x7f;
}

} // namespace

std::string EscapeStoreValue(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 2);
    out += '"';
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        switch (ch) {
        case '\\':
            out += "\\\\";
            break;
        case '"':
            out += "\\\"";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (IsControl(c)) {
                out += "\\x";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else {
                out += ch;
            }
        }
    }
    out += '"';
    return out;
}

bool ReadStoreQuoted(std::string_view line, size_t& pos, std::string& text) {
    if (pos >= line.size() || line[pos] != '"')
        return false;
    text.clear();
    for (size_t i = pos + 1; i < line.size(); ++i) {
        char c = line[i];
        if (c == '"') {
            pos = i + 1;
            return true;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i >= line.size())
            return false;
        switch (line[i]) {
        case '\\':
            text += '\\';
            break;
        case '"':
            text += '"';
            break;
        case 'n':
            text += '\n';
            break;
        case 'r':
            text += '\r';
            break;
        case 't':
            text += '\t';
            break;
        case 'x': {
            if (i + 2 >= line.size())
                return false;
            int hi = HexDigit(line[i + 1]), lo = HexDigit(line[i + 2]);
            if (hi < 0 || lo < 0)
                return false;
            text += static_cast<char>(hi * 16 + lo);
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return false;
}

std::string EscapeStoreKeyName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (char ch : name) {
        auto c = static_cast<unsigned char>(ch);
        if (ch == '%' || ch == '[' || ch == ']' || ch == '\\' || IsControl(c)) {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

bool UnescapeStoreKeyName(std::string_view text, std::string& name) {
    name.clear();
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '[' || c == ']' || IsControl(static_cast<unsigned char>(c)))
            return false;
        if (c != '%') {
            name += c;
            continue;
        }
        if (i + 2 >= text.size())
            return false;
        int hi = HexDigit(text[i + 1]), lo = HexDigit(text[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        name += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

} // namespace tessaly
