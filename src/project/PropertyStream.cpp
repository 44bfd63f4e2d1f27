#include "PropertyStream.h"

#include <QString>
#include <cmath>
#include <cstring>
#include <limits>

namespace tessaly {

namespace {

constexpr char kSignature[] = "TPF0";
// Nested lists never appear in the files this program writes; the bound keeps
// a hostile file from exhausting the stack.
constexpr int kMaxListDepth = 16;

[[noreturn]] void readError() {
    throw EStreamError("Stream read error");
}
[[noreturn]] void invalidValue() {
    throw EStreamError("Invalid property value");
}
[[noreturn]] void invalidFormat() {
    throw EStreamError("Invalid stream format");
}

// Names and texts end up as file names, addresses and C strings: a NUL would
// silently cut them short (an index page of "/\0..." becomes "/"), so a stream
// holding one is damaged.
std::string withoutNul(std::string s, void (*fail)()) {
    if (s.find('\0') != std::string::npos)
        fail();
    return s;
}

bool isValidUtf8(const std::string& s) {
    std::size_t i = 0, n = s.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        std::size_t len;
        std::uint32_t cp;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            len = 2;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            len = 3;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            len = 4;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (i + len > n)
            return false;
        for (std::size_t k = 1; k < len; ++k) {
            unsigned char cc = static_cast<unsigned char>(s[i + k]);
            if ((cc & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (cc & 0x3F);
        }
        static constexpr std::uint32_t kMin[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += len;
    }
    return true;
}

// Code points of Windows-1252 bytes 0x80..0x9F; the five unassigned bytes keep
// their C1 control code points, as the system's converter maps them.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

std::string TextFromStreamBytes(const std::string& bytes) {
    if (isValidUtf8(bytes))
        return bytes;
    QString s;
    s.reserve(qsizetype(bytes.size()));
    for (char ch : bytes) {
        unsigned char c = static_cast<unsigned char>(ch);
        s.append(QChar(c >= 0x80 && c < 0xA0 ? kCp1252High[c - 0x80] : char16_t(c)));
    }
    return s.toUtf8().toStdString();
}

void EncodeExtended(double v, unsigned char out[10]) {
    std::memset(out, 0, 10);
    if (v == 0 || !std::isfinite(v)) {
        if (std::signbit(v))
            out[9] = 0x80;
        return;
    }
    bool negative = v < 0;
    int exp = 0;
    double frac = std::frexp(std::fabs(v), &exp); // v = frac * 2^exp, frac in [0.5, 1)
    // The mantissa carries an explicit integer bit: frac * 2^64.
    auto mantissa = static_cast<std::uint64_t>(std::ldexp(frac, 64));
    int biased = exp - 1 + 16383;
    for (int i = 0; i < 8; ++i)
        out[i] = static_cast<unsigned char>(mantissa >> (8 * i));
    out[8] = static_cast<unsigned char>(biased & 0xFF);
    out[9] = static_cast<unsigned char>(((biased >> 8) & 0x7F) | (negative ? 0x80 : 0));
}

bool DecodeExtended(const unsigned char in[10], double& out) {
    std::uint64_t mantissa = 0;
    for (int i = 7; i >= 0; --i)
        mantissa = (mantissa << 8) | in[i];
    int biased = ((in[9] & 0x7F) << 8) | in[8];
    bool negative = in[9] & 0x80;
    if (biased == 0x7FFF)
        return false; // infinity or NaN
    double v = mantissa == 0 ? 0.0 : std::ldexp(static_cast<double>(mantissa), biased - 16383 - 63);
    if (!std::isfinite(v))
        return false;
    out = negative ? -v : v;
    return true;
}

// ---- writer ----

TPropertyWriter::TPropertyWriter(const std::string& className, const std::string& componentName) {
    out_ = kSignature;
    shortString(className);
    shortString(componentName);
}

void TPropertyWriter::shortString(const std::string& s) {
    std::size_t n = s.size() > 255 ? 255 : s.size();
    out_ += static_cast<char>(n);
    out_.append(s, 0, n);
}

void TPropertyWriter::integerValue(std::int32_t v) {
    auto put = [this](ValueType t, std::uint32_t bits, int bytes) {
        out_ += static_cast<char>(t);
        for (int i = 0; i < bytes; ++i)
            out_ += static_cast<char>((bits >> (8 * i)) & 0xFF);
    };
    if (v >= -128 && v <= 127)
        put(ValueType::Int8, static_cast<std::uint32_t>(v), 1);
    else if (v >= -32768 && v <= 32767)
        put(ValueType::Int16, static_cast<std::uint32_t>(v), 2);
    else
        put(ValueType::Int32, static_cast<std::uint32_t>(v), 4);
}

void TPropertyWriter::textValue(const std::string& utf8, bool allowWide) {
    QString wide = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    QByteArray normal = wide.toUtf8();
    auto putLength = [this](std::uint32_t n) {
        for (int i = 0; i < 4; ++i)
            out_ += static_cast<char>((n >> (8 * i)) & 0xFF);
    };
    bool beyondAscii = false;
    for (char c : utf8)
        beyondAscii |= static_cast<unsigned char>(c) >= 0x80;
    if (allowWide && normal.size() >= 2 * wide.size()) {
        out_ += static_cast<char>(ValueType::WString);
        putLength(static_cast<std::uint32_t>(wide.size()));
        for (QChar ch : wide) {
            out_ += static_cast<char>(ch.unicode() & 0xFF);
            out_ += static_cast<char>(ch.unicode() >> 8);
        }
    } else if (beyondAscii) {
        out_ += static_cast<char>(ValueType::Utf8String);
        putLength(static_cast<std::uint32_t>(normal.size()));
        out_.append(normal.constData(), std::size_t(normal.size()));
    } else if (utf8.size() <= 255) {
        out_ += static_cast<char>(ValueType::String);
        out_ += static_cast<char>(utf8.size());
        out_ += utf8;
    } else {
        out_ += static_cast<char>(ValueType::LString);
        putLength(static_cast<std::uint32_t>(utf8.size()));
        out_ += utf8;
    }
}

void TPropertyWriter::writeBoolean(const std::string& name, bool value) {
    shortString(name);
    out_ += static_cast<char>(value ? ValueType::True : ValueType::False);
}

void TPropertyWriter::writeIdent(const std::string& name, const std::string& ident) {
    shortString(name);
    out_ += static_cast<char>(ValueType::Ident);
    shortString(ident);
}

void TPropertyWriter::writeInteger(const std::string& name, std::int32_t value) {
    shortString(name);
    integerValue(value);
}

void TPropertyWriter::writeExtended(const std::string& name, double value) {
    shortString(name);
    out_ += static_cast<char>(ValueType::Extended);
    unsigned char b[10];
    EncodeExtended(value, b);
    out_.append(reinterpret_cast<const char*>(b), 10);
}

void TPropertyWriter::writeText(const std::string& name, const std::string& utf8, bool allowWide) {
    shortString(name);
    textValue(utf8, allowWide);
}

void TPropertyWriter::writeTextList(const std::string& name,
                                    const std::vector<std::string>& items) {
    shortString(name);
    out_ += static_cast<char>(ValueType::List);
    for (const auto& item : items)
        textValue(item, false);
    out_ += static_cast<char>(ValueType::Null);
}

std::string TPropertyWriter::finish() {
    out_ += '\0'; // end of properties
    out_ += '\0'; // end of child components
    return std::move(out_);
}

// ---- reader ----

TPropertyReader::TPropertyReader(std::string bytes) : bytes_(std::move(bytes)) {
    if (bytes_.size() < 4 || bytes_.compare(0, 4, kSignature) != 0)
        throw EStreamError("Invalid stream format");
    pos_ = 4;
    className_ = withoutNul(shortString(), invalidFormat);
    componentName_ = withoutNul(shortString(), invalidFormat);
}

std::uint8_t TPropertyReader::byte() {
    return static_cast<std::uint8_t>(*take(1));
}

const char* TPropertyReader::take(std::size_t n) {
    if (n > bytes_.size() - pos_)
        readError();
    const char* p = bytes_.data() + pos_;
    pos_ += n;
    return p;
}

std::uint32_t TPropertyReader::u32() {
    const auto* p = reinterpret_cast<const unsigned char*>(take(4));
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

std::string TPropertyReader::shortString() {
    std::size_t n = byte();
    return std::string(take(n), n);
}

StreamValue TPropertyReader::value(int depth) {
    StreamValue v;
    auto type = static_cast<ValueType>(byte());
    auto signedInt = [this](int bytes) {
        const auto* p = reinterpret_cast<const unsigned char*>(take(std::size_t(bytes)));
        std::uint32_t bits = 0;
        for (int i = bytes - 1; i >= 0; --i)
            bits = (bits << 8) | p[i];
        int shift = 32 - 8 * bytes; // sign-extend
        return std::int64_t(std::int32_t(bits << shift) >> shift);
    };
    switch (type) {
    case ValueType::List:
        if (depth >= kMaxListDepth)
            invalidValue();
        v.kind = StreamValue::List;
        while (pos_ < bytes_.size() && static_cast<ValueType>(bytes_[pos_]) != ValueType::Null)
            v.items.push_back(value(depth + 1));
        byte(); // the end-of-list marker
        break;
    case ValueType::Int8:
        v.integer = signedInt(1);
        break;
    case ValueType::Int16:
        v.integer = signedInt(2);
        break;
    case ValueType::Int32:
        v.integer = signedInt(4);
        break;
    case ValueType::Extended:
        v.kind = StreamValue::Real;
        if (!DecodeExtended(reinterpret_cast<const unsigned char*>(take(10)), v.real))
            invalidValue();
        break;
    case ValueType::String:
        v.kind = StreamValue::Text;
        v.text = TextFromStreamBytes(shortString());
        break;
    case ValueType::LString: {
        v.kind = StreamValue::Text;
        std::uint32_t n = u32();
        v.text = TextFromStreamBytes(std::string(take(n), n));
        break;
    }
    case ValueType::Utf8String: {
        v.kind = StreamValue::Text;
        std::uint32_t n = u32();
        const char* p = take(n);
        v.text = QString::fromUtf8(p, qsizetype(n)).toUtf8().toStdString();
        break;
    }
    case ValueType::WString: {
        v.kind = StreamValue::Text;
        std::uint32_t n = u32();
        if (n > (bytes_.size() - pos_) / 2)
            readError();
        const char* p = take(std::size_t(n) * 2);
        QString s(qsizetype(n), Qt::Uninitialized);
        for (std::uint32_t i = 0; i < n; ++i)
            s[qsizetype(i)] = QChar(char16_t(static_cast<unsigned char>(p[2 * i]) |
                                             static_cast<unsigned char>(p[2 * i + 1]) << 8));
        v.text = s.toUtf8().toStdString();
        break;
    }
    case ValueType::Ident:
        v.kind = StreamValue::Identifier;
        v.text = shortString();
        break;
    case ValueType::False:
    case ValueType::True:
        v.kind = StreamValue::Boolean;
        v.boolean = type == ValueType::True;
        break;
    default:
        invalidValue();
    }
    // Checked after decoding, so that every text kind (and a wide NUL) is caught.
    if (v.kind == StreamValue::Text || v.kind == StreamValue::Identifier)
        withoutNul(v.text, invalidValue);
    return v;
}

bool TPropertyReader::next(std::string& name, StreamValue& v) {
    if (byte() == 0) {
        // The end of the property list; a child list must follow and be empty.
        if (byte() != 0)
            throw EStreamError("Invalid stream format");
        return false;
    }
    --pos_;
    name = withoutNul(shortString(), invalidFormat);
    v = value(0);
    return true;
}

} // namespace tessaly
