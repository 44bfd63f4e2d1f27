#include "FtpClient.h"

void TFtpClient::Connect() {
    if (Connected())
        throw FtpException("FTP component already connected");
    CheckReady();
    // Only direct connections are built; the others would need SOCKS or a
    // proxy login, and connecting directly instead would bypass them.
    if (ConnectionType() != ftpDirect)
        throw FtpException("FTP connection type not supported");
    if (HostName().empty())
        throw ESocketException("DNS lookup: invalid host name.");
    if (UserName().empty())
        throw FtpException("UserName empty");
    unsigned steps = stOpen | stUser | stPass;
    if (TlsMode() == ftpTlsNone && AskFeatures())
        steps |= stFeat;
    if (TlsMode() == ftpTlsControl || TlsMode() == ftpTlsControlAndData)
        steps |= stAuth;
    if (TlsMode() != ftpTlsNone)
        steps |= stPbsz | stProt;
    HighLevelAsync(rqConnect, steps);
}

void TFtpClient::Cwd() {
    CwdAsync();
}

void TFtpClient::Pwd() {
    PwdAsync();
}

void TFtpClient::TypeSet() {
    TypeSetAsync();
}

void TFtpClient::Put() {
    CheckReady();
    if (!Connected())
        throw FtpException("FTP component not connected");
    if (LocalFileName().empty())
        throw FtpException("LocalFileName empty");
    HighLevelAsync(rqPut, stPort | stPut);
}

void TFtpClient::List() {
    CheckReady();
    if (!Connected())
        throw FtpException("FTP component not connected");
    HighLevelAsync(rqDir, stPort | stList);
}

void TFtpClient::Mkd() {
    MkdAsync();
}

void TFtpClient::Quit() {
    QuitAsync();
}
