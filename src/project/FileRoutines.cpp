#include "FileRoutines.h"

#include "TextRoutines.h"

#include <QFile>
#include <QSaveFile>
#include <QString>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

std::string ExtractFilePath(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ExtractFileName(const std::string& path) {
    std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext) {
    std::size_t slash = path.rfind('/');
    std::size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ext;
    return path.substr(0, dot) + ext;
}

bool FileExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string LowerCase(const std::string& text) {
    // Plain ASCII needs no round trip through UTF-16.
    bool ascii = true;
    for (unsigned char c : text)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return AsciiLower(text);
    return QString::fromStdString(text).toLower().toStdString();
}

namespace {
std::string reason(int err, const QFileDevice& f) {
    return err ? std::strerror(err) : f.errorString().toStdString();
}
} // namespace

std::string ReadFileText(const std::string& fileName) {
    QFile f(QString::fromStdString(fileName));
    errno = 0;
    if (!f.open(QIODevice::ReadOnly))
        throw EFileError("Cannot open file \"" + fileName + "\". " + reason(errno, f));
    QByteArray data = f.readAll();
    if (f.error() != QFileDevice::NoError)
        throw EFileError("I/O error reading \"" + fileName + "\". " + reason(0, f));
    return data.toStdString();
}

AtomicFileWriter::AtomicFileWriter(const std::string& fileName)
    : fileName_(fileName), file_(std::make_unique<QSaveFile>(QString::fromStdString(fileName))) {
    errno = 0;
    if (!file_->open(QIODevice::WriteOnly))
        fail();
}

// An uncommitted save file removes its temporary file when destroyed.
AtomicFileWriter::~AtomicFileWriter() = default;

void AtomicFileWriter::write(std::string_view bytes) {
    errno = 0;
    if (file_->write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()))
        fail();
}

void AtomicFileWriter::commit() {
    errno = 0;
    if (!file_->commit())
        fail();
}

void AtomicFileWriter::fail() {
    throw EFileError("Cannot create file \"" + fileName_ + "\". " + reason(errno, *file_));
}

void WriteFileText(const std::string& text, const std::string& fileName) {
    AtomicFileWriter file(fileName);
    file.write(text);
    file.commit();
}

void AppendLine(const std::string& text, const std::string& fileName) {
    if (!FileExists(fileName))
        throw EFileError("Cannot open file \"" + fileName + "\". " + std::strerror(ENOENT));
    QFile f(QString::fromStdString(fileName));
    errno = 0;
    if (!f.open(QIODevice::Append))
        throw EFileError("Cannot open file \"" + fileName + "\". " + reason(errno, f));
    std::string line = text + "\r\n";
    if (f.write(line.data(), qint64(line.size())) != qint64(line.size()) || !f.flush())
        throw EFileError("I/O error writing \"" + fileName + "\". " + reason(0, f));
}

void DeleteFileQuietly(const std::string& fileName) {
    ::unlink(fileName.c_str());
}

} // namespace tessaly
