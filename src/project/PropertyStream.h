#pragma once
// The property-stream format of profile and settings files: "TPF0", the class
// and component names, then named, typed property records.
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessaly {

// A malformed stream or a value the object cannot take. what() is the text
// shown to the user.
class EStreamError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

enum class ValueType : std::uint8_t {
    Null = 0x00,
    List = 0x01,
    Int8 = 0x02,
    Int16 = 0x03,
    Int32 = 0x04,
    Extended = 0x05,
    String = 0x06,
    Ident = 0x07,
    False = 0x08,
    True = 0x09,
    LString = 0x0C,
    WString = 0x12,
    Utf8String = 0x14,
};

// One value as read, already decoded: integers widened, texts as UTF-8.
struct StreamValue {
    enum Kind { Integer, Real, Text, Identifier, Boolean, List };
    Kind kind = Integer;
    std::int64_t integer = 0;
    double real = 0;
    bool boolean = false;
    std::string text; // Text and Identifier
    std::vector<StreamValue> items;
};

class TPropertyWriter {
  public:
    TPropertyWriter(const std::string& className, const std::string& componentName);
    void writeBoolean(const std::string& name, bool value);
    void writeIdent(const std::string& name, const std::string& ident);
    // The smallest of the three integer sizes that holds the value.
    void writeInteger(const std::string& name, std::int32_t value);
    void writeExtended(const std::string& name, double value);
    // A UTF-8 text in the smallest form that keeps it: short, long, UTF-8 or
    // (when allowed and mostly non-Latin) wide.
    void writeText(const std::string& name, const std::string& utf8, bool allowWide = true);
    void writeTextList(const std::string& name, const std::vector<std::string>& items);
    // Ends the property list and the (empty) child list; returns the bytes.
    std::string finish();

  private:
    void shortString(const std::string& s);
    void textValue(const std::string& utf8, bool allowWide);
    void integerValue(std::int32_t v);
    std::string out_;
};

class TPropertyReader {
  public:
    // Checks the signature and reads the class and component names.
    explicit TPropertyReader(std::string bytes);
    const std::string& className() const { return className_; }
    const std::string& componentName() const { return componentName_; }
    // Reads the next record; false at the end of the property list.
    bool next(std::string& name, StreamValue& value);

  private:
    std::uint8_t byte();
    const char* take(std::size_t n);
    std::uint32_t u32();
    std::string shortString();
    StreamValue value(int depth);
    std::string bytes_;
    std::size_t pos_ = 0;
    std::string className_;
    std::string componentName_;
};

// 80-bit extended real, little-endian, as 10 bytes.
void EncodeExtended(double v, unsigned char out[10]);
// The value of 10 extended bytes; false when it is not a finite number.
bool DecodeExtended(const unsigned char in[10], double& out);
// Windows-1252 bytes to UTF-8; text that is valid UTF-8 is kept as it is.
std::string TextFromStreamBytes(const std::string& bytes);

} // namespace tessaly
