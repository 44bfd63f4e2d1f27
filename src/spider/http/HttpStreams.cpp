#include "HttpStreams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

std::string TStream::ReadRest() {
    std::string result;
    char block[65536];
    for (;;) {
        std::int64_t n = Read(block, sizeof block);
        if (n <= 0)
            break;
        result.append(block, static_cast<size_t>(n));
    }
    return result;
}

bool TMemoryStream::Seek(std::int64_t position) {
    if (position < 0)
        return false;
    m_Position = position;
    return true;
}

std::int64_t TMemoryStream::Read(char* buffer, std::int64_t count) {
    std::int64_t available = std::max<std::int64_t>(0, Size() - m_Position);
    std::int64_t n = std::min(count, available);
    if (n > 0)
        std::memcpy(buffer, m_Data.data() + m_Position, static_cast<size_t>(n));
    m_Position += n;
    return n;
}

bool TMemoryStream::Write(const char* data, std::int64_t count) {
    if (count <= 0)
        return true;
    if (m_Position > Size())
        m_Data.resize(static_cast<size_t>(m_Position), '\0');
    if (m_Position == Size())
        m_Data.append(data, static_cast<size_t>(count));
    else {
        size_t end = static_cast<size_t>(m_Position + count);
        if (end > m_Data.size())
            m_Data.resize(end);
        std::memcpy(m_Data.data() + m_Position, data, static_cast<size_t>(count));
    }
    m_Position += count;
    return true;
}

void TMemoryStream::Reserve(std::int64_t count) {
    // An announced length is the server's claim, not a promise: a huge one
    // must not allocate memory that never gets filled.
    constexpr std::int64_t kMostReserved = 64 * 1024 * 1024;
    if (count > 0)
        m_Data.reserve(static_cast<size_t>(std::min(count, kMostReserved)));
}

THttpClientFileStream::THttpClientFileStream(const std::string& fileName, bool keepContents,
                                             std::int64_t position)
    : m_FileName(fileName) {
    int flags = O_RDWR | O_CREAT | O_CLOEXEC | (keepContents ? 0 : O_TRUNC);
    m_Fd = ::open(fileName.c_str(), flags, 0666);
    if (m_Fd >= 0 && position > 0 && ::lseek(m_Fd, position, SEEK_SET) < 0)
        Close();
}

THttpClientFileStream::~THttpClientFileStream() {
    Close();
}

void THttpClientFileStream::Close() {
    if (m_Fd >= 0)
        ::close(m_Fd);
    m_Fd = -1;
}

std::int64_t THttpClientFileStream::Size() const {
    struct stat st {};
    if (m_Fd < 0 || ::fstat(m_Fd, &st) != 0)
        return 0;
    return st.st_size;
}

std::int64_t THttpClientFileStream::Position() const {
    return m_Fd < 0 ? 0 : ::lseek(m_Fd, 0, SEEK_CUR);
}

bool THttpClientFileStream::Seek(std::int64_t position) {
    return m_Fd >= 0 && ::lseek(m_Fd, position, SEEK_SET) == position;
}

std::int64_t THttpClientFileStream::Read(char* buffer, std::int64_t count) {
    if (m_Fd < 0)
        return 0;
    for (;;) {
        ssize_t n = ::read(m_Fd, buffer, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? 0 : n;
    }
}

bool THttpClientFileStream::Write(const char* data, std::int64_t count) {
    if (m_Fd < 0)
        return false;
    while (count > 0) {
        ssize_t n = ::write(m_Fd, data, static_cast<size_t>(count));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        count -= n;
    }
    return true;
}
