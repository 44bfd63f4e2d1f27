#pragma once
// Gives a test process folders of its own: HOME and the XDG configuration,
// data, cache and runtime folders point into one temporary folder that is
// removed when the process ends. Nothing a test does reaches the user's own
// settings, the build tree or the source tree.
#include <QByteArray>
#include <QDir>
#include <QTemporaryDir>
#include <memory>

inline std::unique_ptr<QTemporaryDir> SetUpTemporaryWorld() {
    auto world = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/tessaly-test-XXXXXX");
    if (!world->isValid())
        return world;
    const QString root = world->path();
    const struct {
        const char* variable;
        const char* folder;
    } places[] = {{"HOME", "home"},
                  {"XDG_CONFIG_HOME", "config"},
                  {"XDG_DATA_HOME", "data"},
                  {"XDG_CACHE_HOME", "cache"},
                  {"XDG_RUNTIME_DIR", "runtime"}};
    for (const auto& place : places) {
        QString path = root + "/" + place.folder;
        QDir().mkpath(path);
        qputenv(place.variable, path.toLocal8Bit());
    }
    QFile::setPermissions(root + "/runtime",
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return world;
}
