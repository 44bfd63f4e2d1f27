#include "UploadRun.h"

#include <QEventLoop>
#include <QTimer>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tessaly {

namespace {

std::string BaseName(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool HoldsLineBreak(const std::string& text) {
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// The size of a file that can be opened for reading; else the reason.
bool FileSize(const std::string& path, std::int64_t& size, std::string& why) {
    if (path.empty()) {
        why = "No file name";
        return false;
    }
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0;
    ::close(fd);
    if (!ok || !S_ISREG(st.st_mode)) {
        why = ok ? "Not a file" : std::strerror(errno);
        return false;
    }
    size = st.st_size;
    return true;
}

TFtpTlsMode TlsModeFor(int protocol) {
    switch (protocol) {
    case kProtocolFtpTls:
        return ftpTlsControl;
    case kProtocolFtpTlsData:
        return ftpTlsControlAndData;
    case kProtocolFtpImplicit:
        return ftpTlsImplicit;
    default:
        return ftpTlsNone;
    }
}

int CountLines(const std::string& text) {
    int lines = 0;
    for (size_t pos = 0; pos < text.size();) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        if (text.find_first_not_of(" \r\t", pos) < end)
            ++lines;
        pos = end + 1;
    }
    return lines;
}

} // namespace

TUploadRun::TUploadRun(std::vector<std::string> files, TServerData site, std::string remoteDir,
                       TUploadObserver& observer, QObject* parent)
    : QObject(parent), files_(std::move(files)), site_(std::move(site)),
      remoteDir_(std::move(remoteDir)), observer_(observer), ftp_(std::make_unique<TFtpClient>()),
      idle_(new QTimer(this)) {
    idleSeconds_ = site_.Timeout > 0 ? site_.Timeout : 60;
    idle_->setSingleShot(true);
    idle_->setInterval(idleSeconds_ * 1000);
    connect(idle_, &QTimer::timeout, this, &TUploadRun::IdleTimeout);
    ftp_->SetTimeout(15);
    ftp_->SetMultiThreaded(false);
    ftp_->SetBinary(true);
    ftp_->SetShareMode(ftpShareExclusive);
    ftp_->SetOptions(ftpAcceptLF);
    ftp_->SetConnectionType(ftpDirect);
    ftp_->SetDisplayFileFlag(false);
    ftp_->OnRequestDone = [this](TCustomFtpClient*, TFtpRequest rq, int error) {
        RequestDone(rq, error);
    };
    ftp_->OnProgress = [this](TCustomFtpClient*, std::int64_t count, bool&) { Progress(count); };
}

TUploadRun::~TUploadRun() {
    // The client goes first, so none of its events reaches a half-destroyed run.
    ftp_.reset();
}

std::string TUploadRun::CheckArguments() const {
    struct Field {
        const char* what;
        const std::string& text;
    } fields[] = {{"host name", site_.HostName},
                  {"user name", site_.Username},
                  {"password", site_.Password},
                  {"remote folder", remoteDir_.empty() ? site_.HostDirName : remoteDir_}};
    for (const Field& f : fields) {
        if (HoldsLineBreak(f.text))
            return std::string("The ") + f.what +
                   " holds a line break or NUL character; nothing was sent.";
    }
    for (const std::string& file : files_) {
        if (HoldsLineBreak(BaseName(file)))
            return "The file name \"" + BaseName(file) +
                   "\" holds a line break or NUL character; nothing was sent.";
    }
    return {};
}

void TUploadRun::Start() {
    if (started_)
        return;
    started_ = true;
    sizes_.assign(files_.size(), 0);
    for (size_t i = 0; i < files_.size(); ++i) {
        std::string why;
        if (!FileSize(files_[i], sizes_[i], why)) {
            observer_.ShowError("Cannot open file \"" + files_[i] + "\". " + why);
            Finish(false);
            return;
        }
        totalBytes_ += sizes_[i];
    }
    if (site_.Secure || site_.Protocol == kProtocolSftp || site_.Protocol < 0 ||
        site_.Protocol >= kProtocolCount) {
        int kind = site_.Secure ? kProtocolSftp : site_.Protocol;
        std::string name = kind >= 0 && kind < kProtocolCount ? kProtocolNames[kind] : "unknown";
        observer_.ShowError("Error The site uses the connection type " + name +
                            ", which this uploader does not offer; FTP and FTP over TLS "
                            "uploads are possible. Nothing was sent.");
        Finish(false);
        return;
    }
    if (std::string problem = CheckArguments(); !problem.empty()) {
        observer_.ShowError("Error " + problem);
        Finish(false);
        return;
    }
    current_ = int(files_.size());
    ftp_->SetUserName(site_.Username);
    ftp_->SetPassWord(site_.Password);
    ftp_->SetHostName(site_.HostName);
    ftp_->SetHostDirName(remoteDir_.empty() ? site_.HostDirName : remoteDir_);
    ftp_->SetPort(std::to_string(site_.Port));
    ftp_->SetPassive(site_.PassiveMode);
    const TFtpTlsMode tls = TlsModeFor(site_.Protocol);
    ftp_->SetTlsMode(tls);
    // A plain-FTP site is asked whether its server offers TLS until the
    // person has been told once.
    ftp_->SetAskFeatures(tls == ftpTlsNone && !site_.TlsOffered);
    if (!site_.TrustedCertificate.empty())
        ftp_->SetTrustedCertificates({site_.TrustedCertificate});
    contacted_ = true;
    Connect();
}

void TUploadRun::Connect() {
    observer_.ShowStatus("Connecting to " + site_.HostName + "...");
    phase_ = Phase::Connecting;
    idle_->start();
    try {
        ftp_->Connect();
    } catch (const std::exception& e) {
        Fail(std::string("Error ") + e.what());
    }
}

void TUploadRun::Warn(const std::string& text) {
    if (warn_)
        warn_(text);
    else
        std::fprintf(stderr, "%s\n", text.c_str());
}

void TUploadRun::SaveSecurityValues() {
    if (!store_ || site_.LoadedKey.empty())
        return;
    std::string error;
    if (!store_->SaveSecurityValues(site_.LoadedKey, site_, error))
        observer_.ShowStatus("The site could not be saved: " + error);
}

// A certificate no trusted authority vouches for: asked about once a run in
// the window, refused unattended. True when handled (the run goes on or
// has ended).
bool TUploadRun::HandleCertificate() {
    const TFtpCertificateInfo cert = ftp_->RefusedCertificate();
    const std::string host = site_.HostName + ":" + std::to_string(site_.Port);
    if (unattended_) {
        Fail("The certificate of " + host + " is not trusted: " + cert.Reason +
             ". Its SHA-256 fingerprint is " + cert.Sha256 +
             ". Nothing was sent. To trust it, upload once from the window and choose Trust, "
             "or check the fingerprint with the server's administrator and store it as the "
             "site's trusted certificate.");
        return true;
    }
    if (trustAsked_ > 0)
        return false;
    ++trustAsked_;
    if (observer_.AskTrustCertificate(host, cert) != TCertificateAnswer::TrustForThisSite) {
        Fail("The certificate of " + host + " was not trusted (" + cert.Reason +
             "); nothing was sent.");
        return true;
    }
    site_.TrustedCertificate = cert.Sha256;
    SaveSecurityValues();
    ftp_->SetTrustedCertificates({cert.Sha256});
    Connect();
    return true;
}

void TUploadRun::NoteConnected() {
    if (ftp_->TlsMode() != ftpTlsNone)
        return;
    const bool offers = ftp_->ServerOffersTls();
    if (offers && !site_.TlsOffered) {
        site_.TlsOffered = true;
        SaveSecurityValues();
        observer_.ServerOffersTls(site_.HostName);
    }
    if (unattended_)
        Warn("Upload File To Server: warning: the password for " + site_.Username + " at " +
             site_.HostName + " crossed the network unencrypted (plain FTP)" +
             (offers || site_.TlsOffered
                  ? "; the server offers TLS: choose \"FTP + SSL + Data\" for the site."
                  : "."));
}

std::string TUploadRun::FailureText(TFtpRequest rq, int error) const {
    std::string text = ftp_->ErrorMessage();
    if (text.empty())
        text = ftp_->LastResponse().empty() ? std::to_string(error)
                                            : EscapeServerText(ftp_->LastResponse());
    if (rq == rqMkd)
        return "The server refused to create the folder \"" +
               EscapeServerText(ftp_->HostFileName()) + "\": " + text;
    // Replies of the server keep their code after "Error"; texts of this
    // program are plain sentences.
    const bool reply = !text.empty() && std::isdigit(static_cast<unsigned char>(text[0]));
    return reply ? "Error " + text : text;
}

void TUploadRun::Cancel() {
    if (cancelled_)
        return;
    cancelled_ = true;
    idle_->stop();
    if (ftp_->ControlConnectionOpen())
        ftp_->AbortSession();
    Finish(false);
}

void TUploadRun::RequestDone(TFtpRequest rq, int error) {
    if (rq == rqQuit) {
        ftp_->SetHostFileName({});
        ftp_->SetLocalFileName({});
    }
    if (cancelled_ || finished_ || failed_)
        return;
    idle_->start();
    // A client call that refuses (not ready, not connected) ends the run with
    // its text, never leaving it waiting for an event that will not come.
    try {
        HandleDone(rq, error);
    } catch (const std::exception& e) {
        Fail(std::string("Error ") + e.what());
    }
}

void TUploadRun::HandleDone(TFtpRequest rq, int error) {
    if (error != 0) {
        // Only a refused change into the remote folder means it is missing, and
        // the question comes once a run.
        if (rq == rqCwd && error == 550 && phase_ == Phase::Folder && !askedFolder_) {
            askedFolder_ = true;
            if (observer_.AskCreateFolder()) {
                ftp_->SetHostFileName(ftp_->HostDirName());
                observer_.ShowStatus("Making Directory...");
                phase_ = Phase::MakingFolder;
                ftp_->Mkd();
            } else {
                phase_ = Phase::Quitting;
                idle_->stop();
                failed_ = true;
                ftp_->Quit();
                Finish(false);
            }
            return;
        }
        if (rq == rqConnect && ftp_->CertificateRefused() && HandleCertificate())
            return;
        Fail(FailureText(rq, error));
        return;
    }
    switch (rq) {
    case rqConnect:
        NoteConnected();
        observer_.ShowStatus("Connected to " + site_.HostName + "...");
        phase_ = Phase::Folder;
        if (!ftp_->HostDirName().empty())
            ftp_->Cwd();
        else
            ftp_->Pwd();
        break;
    case rqCwd:
    case rqPwd:
        if (testOnly_) {
            observer_.ShowStatus("Listing the folder...");
            ftp_->List();
            break;
        }
        observer_.ShowStatus("Finding Initial Directory...");
        phase_ = Phase::Typing;
        ftp_->TypeSet();
        break;
    case rqMkd:
        phase_ = Phase::Folder;
        ftp_->Cwd();
        break;
    case rqTypeSet:
        observer_.ShowStatus("Transferring...");
        phase_ = Phase::Sending;
        if (current_ == int(files_.size()))
            --current_;
        SendCurrentFile();
        break;
    case rqDir: {
        const std::string folder = ftp_->HostDirName().empty() ? "/" : ftp_->HostDirName();
        outcome_.Summary = "Logged in to " + site_.HostName + ":" + std::to_string(site_.Port) +
                           " as " + site_.Username +
                           (ftp_->TlsMode() != ftpTlsNone ? " over TLS" : " without encryption") +
                           "; the folder \"" + EscapeServerText(folder) + "\" lists " +
                           std::to_string(CountLines(ftp_->Listing())) + " entries.";
        phase_ = Phase::Quitting;
        if (ftp_->ControlConnectionOpen() && ftp_->State() == fsReady)
            ftp_->Quit();
        Finish(true);
        return;
    }
    case rqPut:
        ++outcome_.FilesSent;
        doneBytes_ += sizes_[size_t(current_)];
        observer_.ShowProgress(sizes_[size_t(current_)], doneBytes_);
        if (current_ == 0) {
            phase_ = Phase::Quitting;
            if (ftp_->ControlConnectionOpen() && ftp_->State() == fsReady)
                ftp_->Quit();
            observer_.ShowProgress(sizes_[0], totalBytes_);
            Finish(true);
            return;
        }
        --current_;
        SendCurrentFile();
        break;
    default:
        break;
    }
}

void TUploadRun::SendCurrentFile() {
    if (current_ < 0 || size_t(current_) >= files_.size()) {
        Fail("Error no file to send");
        return;
    }
    const std::string& path = files_[size_t(current_)];
    observer_.ShowFile(path, sizes_[size_t(current_)]);
    ftp_->SetHostFileName(BaseName(path));
    ftp_->SetLocalFileName(path);
    ftp_->Put();
}

void TUploadRun::Progress(std::int64_t count) {
    if (cancelled_ || finished_ || failed_)
        return;
    idle_->start();
    observer_.ShowProgress(count, doneBytes_ + count);
}

void TUploadRun::Fail(const std::string& text) {
    if (failed_ || finished_)
        return;
    failed_ = true;
    idle_->stop();
    Phase was = phase_;
    phase_ = Phase::Over;
    if (ftp_->ControlConnectionOpen()) {
        // A failed QUIT (or a server that stopped answering) is never answered
        // with another QUIT: the session is closed.
        bool quit = was != Phase::Quitting && !timedOut_ && ftp_->State() == fsReady;
        try {
            if (quit)
                ftp_->Quit();
            else
                ftp_->AbortSession();
        } catch (const std::exception&) {
            ftp_->AbortSession();
        }
    }
    outcome_.Error = text;
    if (!cancelled_)
        observer_.ShowError(text);
    Finish(false);
}

void TUploadRun::Finish(bool success) {
    if (finished_)
        return;
    finished_ = true;
    idle_->stop();
    outcome_.Success = success;
    outcome_.BytesSent = doneBytes_;
    if (cancelled_ && outcome_.Error.empty())
        outcome_.Error = "Cancelled";
    observer_.Finished(success);
}

void TUploadRun::IdleTimeout() {
    if (finished_ || cancelled_)
        return;
    timedOut_ = true;
    ftp_->AbortSession();
    Fail("The server at " + site_.HostName + ":" + std::to_string(site_.Port) +
         " did not answer for " + std::to_string(idleSeconds_) + " seconds; the upload stopped.");
}

TUploadOutcome TestConnection(const TServerData& site, TUploadObserver& observer,
                              const std::string& remoteDir, const TServerStore* store) {
    TUploadRun run({}, site, remoteDir, observer);
    run.SetConnectionTestOnly(true);
    run.SetStore(store);
    run.Start();
    while (run.Running()) {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return run.Outcome();
}

} // namespace tessaly
