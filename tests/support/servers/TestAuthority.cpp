#include "TestAuthority.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

namespace {

std::string Run(const QString& dir, const QStringList& args) {
    QProcess p;
    p.setWorkingDirectory(dir);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start("openssl", args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return "openssl " + args.join(' ').toStdString() + ": " + p.readAll().toStdString();
    return {};
}

} // namespace

std::string TestAuthority::Make() {
    if (QStandardPaths::findExecutable("openssl").isEmpty())
        return "the openssl command is not installed (Debian package openssl)";
    if (!m_Dir.isValid())
        return "no temporary folder";
    const QString dir = m_Dir.path();
    QFile ext(dir + "/server.ext");
    if (!ext.open(QIODevice::WriteOnly) || ext.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                                     "basicConstraints=CA:FALSE\n"
                                                     "keyUsage=digitalSignature,keyEncipherment\n"
                                                     "extendedKeyUsage=serverAuth\n") < 0)
        return "cannot write the certificate extensions";
    ext.close();
    const QStringList steps[] = {
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", "ca.key", "-out", "ca.pem", "-days", "2", "-subj", "/CN=Tessaly Test Authority",
         "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
         "keyUsage=critical,keyCertSign,cRLSign"},
        {"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
         "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"},
        {"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
         "-CAcreateserial", "-out", "server.pem", "-days", "2", "-extfile", "server.ext"},
        {"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
         "-keyout", "untrusted.key", "-out", "untrusted.pem", "-days", "2", "-subj",
         "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1,DNS:localhost"},
    };
    for (const QStringList& step : steps)
        if (std::string error = Run(dir, step); !error.empty())
            return error;
    // nginx's workers may run as another user when started as root.
    for (const char* name : {"server.pem", "server.key", "untrusted.pem", "untrusted.key"})
        QFile::setPermissions(dir + "/" + name, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                    QFileDevice::ReadGroup |
                                                    QFileDevice::ReadOther);
    QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                   QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                   QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                   QFileDevice::ExeOther);
    return {};
}

TrustOnly::TrustOnly(const QString& authorityFile) {
    for (const char* name : kVariables) {
        m_Old.push_back({name, qEnvironmentVariableIsSet(name), qgetenv(name)});
        qputenv(name, authorityFile.toLocal8Bit());
    }
}

TrustOnly::~TrustOnly() {
    for (const Saved& saved : m_Old) {
        if (saved.had)
            qputenv(saved.name, saved.value);
        else
            qunsetenv(saved.name);
    }
}
