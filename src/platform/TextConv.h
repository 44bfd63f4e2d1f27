#pragma once
// The one place where domain text (std::string of UTF-8 bytes) meets QString.
#include <QString>
#include <string>

namespace tessaly {

inline QString qs(const std::string& s) {
    return QString::fromUtf8(s.data(), qsizetype(s.size()));
}
inline std::string ss(const QString& s) {
    return s.toUtf8().toStdString();
}

} // namespace tessaly
