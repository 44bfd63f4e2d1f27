#pragma once
// A temporary configuration home for one test: XDG_CONFIG_HOME and HOME (which
// the test mode of QStandardPaths follows) point into a fresh folder, so the
// per-user store and its key live there and vanish with the test.
#include <QByteArray>
#include <QTemporaryDir>
#include <QtGlobal>
#include <string>

class TempConfigHome {
  public:
    TempConfigHome()
        : oldHome_(qgetenv("HOME")), oldXdg_(qgetenv("XDG_CONFIG_HOME")),
          hadXdg_(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")) {
        qputenv("HOME", dir_.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (dir_.path() + "/config").toUtf8());
    }
    ~TempConfigHome() {
        qputenv("HOME", oldHome_);
        if (hadXdg_)
            qputenv("XDG_CONFIG_HOME", oldXdg_);
        else
            qunsetenv("XDG_CONFIG_HOME");
    }
    TempConfigHome(const TempConfigHome&) = delete;
    TempConfigHome& operator=(const TempConfigHome&) = delete;

    bool valid() const { return dir_.isValid(); }
    std::string path(const std::string& name = {}) const {
        return dir_.path().toStdString() + "/" + name;
    }

  private:
    QTemporaryDir dir_;
    QByteArray oldHome_;
    QByteArray oldXdg_;
    bool hadXdg_;
};
