#pragma once

// Targets of a transfer's body: memory, or a file. Events receive the
// target rewound to its start; it is valid only during the event.

#include <cstdint>
#include <string>

class TStream {
  public:
    virtual ~TStream() = default;
    virtual std::int64_t Size() const = 0;
    virtual std::int64_t Position() const = 0;
    virtual bool Seek(std::int64_t position) = 0;
    // Bytes read at the position, which moves past them; fewer at the end.
    virtual std::int64_t Read(char* buffer, std::int64_t count) = 0;
    // False when not all bytes could be written.
    virtual bool Write(const char* data, std::int64_t count) = 0;
    // Everything from the position to the end.
    std::string ReadRest();
};

class TMemoryStream : public TStream {
  public:
    std::int64_t Size() const override { return static_cast<std::int64_t>(m_Data.size()); }
    std::int64_t Position() const override { return m_Position; }
    bool Seek(std::int64_t position) override;
    std::int64_t Read(char* buffer, std::int64_t count) override;
    bool Write(const char* data, std::int64_t count) override;
    // Room for that many bytes without growing on the way.
    void Reserve(std::int64_t count);
    const std::string& Data() const { return m_Data; }

  private:
    std::string m_Data;
    std::int64_t m_Position = 0;
};

// A file opened for reading and writing, created anew or kept and positioned
// for resuming.
class THttpClientFileStream : public TStream {
  public:
    // Check IsOpen afterwards.
    THttpClientFileStream(const std::string& fileName, bool keepContents, std::int64_t position);
    ~THttpClientFileStream() override;
    THttpClientFileStream(const THttpClientFileStream&) = delete;
    THttpClientFileStream& operator=(const THttpClientFileStream&) = delete;

    bool IsOpen() const { return m_Fd >= 0; }
    const std::string& FileName() const { return m_FileName; }
    void Close();

    std::int64_t Size() const override;
    std::int64_t Position() const override;
    bool Seek(std::int64_t position) override;
    std::int64_t Read(char* buffer, std::int64_t count) override;
    bool Write(const char* data, std::int64_t count) override;

  private:
    std::string m_FileName;
    int m_Fd = -1;
};
