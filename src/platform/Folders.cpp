#include "Folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace tessaly {

namespace {
std::string programOverride;
std::string dataOverride;
std::string configOverride;

std::string toStd(const QString& s) {
    return s.toUtf8().toStdString();
}
} // namespace

std::string AddBackslash(const std::string& path) {
    if (path.empty() || path.back() == '/')
        return path;
    return path + '/';
}

std::string ExecutableFolder() {
    if (!programOverride.empty())
        return AddBackslash(programOverride);
    QString dir = QCoreApplication::applicationDirPath();
    if (dir.isEmpty())
        dir = QDir::currentPath();
    return AddBackslash(toStd(dir));
}

std::string ProgramFolder() {
    std::string own = ExecutableFolder();
    if (!programOverride.empty() || QFileInfo(QString::fromStdString(own + "smimages")).isDir())
        return own;
    QString shared = QDir::cleanPath(QString::fromStdString(own) + "../share/tessaly");
    if (QFileInfo(shared).isDir())
        return AddBackslash(toStd(shared));
    return own;
}

std::string DataFolder() {
    if (!dataOverride.empty())
        return AddBackslash(dataOverride);
    return AddBackslash(toStd(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)));
}

std::string ConfigFolder() {
    if (!configOverride.empty())
        return AddBackslash(configOverride);
    return AddBackslash(toStd(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)));
}

std::string SpecialFolder(int csidl) {
    QStandardPaths::StandardLocation loc;
    switch (csidl) {
    case CSIDL_DESKTOP:
    case CSIDL_DESKTOPDIRECTORY:
        loc = QStandardPaths::DesktopLocation;
        break;
    case CSIDL_PERSONAL:
        loc = QStandardPaths::DocumentsLocation;
        break;
    case CSIDL_APPDATA:
        loc = QStandardPaths::AppDataLocation;
        break;
    default:
        return {};
    }
    std::string path = toStd(QStandardPaths::writableLocation(loc));
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

std::string DesktopFolder() {
    // Without a desktop folder (a server, a desktop that has none) every
    // file placed there by default would fail to be written: the home
    // folder stands in, as it does for a missing XDG user folder.
    std::string desktop = SpecialFolder(CSIDL_DESKTOPDIRECTORY);
    if (desktop.empty() || QFileInfo(QString::fromStdString(desktop)).isDir())
        return desktop;
    std::string home = toStd(QDir::homePath());
    while (home.size() > 1 && home.back() == '/')
        home.pop_back();
    return home;
}

void setProgramFolderForTests(const std::string& folder) {
    programOverride = folder;
}
void setDataFolderForTests(const std::string& folder) {
    dataOverride = folder;
}
void setConfigFolderForTests(const std::string& folder) {
    configOverride = folder;
}

} // namespace tessaly
