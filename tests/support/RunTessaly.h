#pragma once
// Runs the program itself as a process, offscreen, in a folder of the test's
// own (HOME and the XDG folders point into it), with a time limit.
#include <QProcess>
#include <QString>
#include <QStringList>
#include <string>
#include <unistd.h>

struct RunResult {
    int status = -1;   // the exit status; -1 when it crashed or was killed
    bool ended = true; // false when the time limit killed it
    std::string err;   // what it wrote on standard error
};

// asUser: when the test runs as root, the program runs as "nobody", so that
// file permissions apply to it as to any user (home must be open to it).
inline RunResult RunTessaly(const QStringList& args, const QString& home, int limitMs = 60000,
                            bool asUser = false) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_DATA_HOME", home + "/data");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.remove("XDG_RUNTIME_DIR");
    p.setProcessEnvironment(env);
    if (asUser && ::geteuid() == 0)
        p.start("setpriv",
                QStringList{"--reuid=65534", "--regid=65534", "--clear-groups", "--", TESSALY_EXE} +
                    args);
    else
        p.start(TESSALY_EXE, args);
    RunResult r;
    if (!p.waitForFinished(limitMs)) {
        p.kill();
        p.waitForFinished();
        r.ended = false;
    }
    r.err = p.readAllStandardError().toStdString();
    if (r.ended && p.exitStatus() == QProcess::NormalExit)
        r.status = p.exitCode();
    return r;
}
