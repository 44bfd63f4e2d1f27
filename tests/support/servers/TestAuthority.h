#pragma once
// A certificate authority a test makes for itself with the openssl command:
// its own certificate, a server certificate it signed for 127.0.0.1 and
// localhost, and a self-signed certificate no authority vouches for. The
// files live in a temporary folder that goes with the object.
#include <QString>
#include <QTemporaryDir>

#include <string>
#include <vector>

class TestAuthority {
  public:
    // Empty text when every file was made, else why not.
    std::string Make();

    QString AuthorityFile() const { return m_Dir.path() + "/ca.pem"; }
    QString ServerCertificate() const { return m_Dir.path() + "/server.pem"; }
    QString ServerKey() const { return m_Dir.path() + "/server.key"; }
    QString UntrustedCertificate() const { return m_Dir.path() + "/untrusted.pem"; }
    QString UntrustedKey() const { return m_Dir.path() + "/untrusted.key"; }

  private:
    QTemporaryDir m_Dir;
};

// Makes the library trust only the given authority while it lives (through
// CURL_CA_BUNDLE and SSL_CERT_FILE, which every request reads).
class TrustOnly {
  public:
    explicit TrustOnly(const QString& authorityFile);
    ~TrustOnly();
    TrustOnly(const TrustOnly&) = delete;
    TrustOnly& operator=(const TrustOnly&) = delete;

  private:
    static constexpr const char* kVariables[] = {"CURL_CA_BUNDLE", "SSL_CERT_FILE"};
    struct Saved {
        const char* name;
        bool had;
        QByteArray value;
    };
    std::vector<Saved> m_Old;
};
