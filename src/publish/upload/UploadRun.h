#pragma once
// The steps of one upload, without widgets: connect and log in, change to the
// remote folder (or ask where the server starts), set the binary type, send
// each file, quit. The FTP client's events drive it; the folder question,
// Cancel and the view's updates go through an observer, so the upload window
// only shows it and tests drive it directly.
#include "FtpClient.h"
#include "ServerData.h"
#include "ServerStore.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace tessaly {

enum class TCertificateAnswer { TrustForThisSite, Cancel };

// What an upload ends with: whether every file arrived, how many files and
// bytes were sent, and the error that ended it (empty on success).
struct TUploadOutcome {
    bool Success = false;
    int FilesSent = 0;
    std::int64_t BytesSent = 0;
    std::string Error;
    // For a connection test: what was found, in plain words.
    std::string Summary;
};

class TUploadObserver {
  public:
    virtual ~TUploadObserver() = default;
    // The status line ("Connecting to host...", "Transferring... 1514 bytes").
    virtual void ShowStatus(const std::string& text) = 0;
    // The file now being sent, with its size.
    virtual void ShowFile(const std::string& path, std::int64_t size) = 0;
    // Bytes of the current file, and of all files, sent so far.
    virtual void ShowProgress(std::int64_t fileBytes, std::int64_t allBytes) = 0;
    // "Host Directory Does not exist. Do you want to create it?"; true for Yes.
    virtual bool AskCreateFolder() = 0;
    // An error that ends the run, already in its shown form ("Error " + text).
    virtual void ShowError(const std::string& text) = 0;
    // The run is over: every file arrived (true), or it failed or was
    // cancelled (false). Called once.
    virtual void Finished(bool success) = 0;
    // The server's certificate is not vouched for by a trusted authority:
    // TrustForThisSite stores its fingerprint with the site and connects
    // again, accepting exactly that certificate from then on; Cancel ends
    // the run. Never asked in an unattended run.
    virtual TCertificateAnswer AskTrustCertificate(const std::string& host,
                                                   const TFtpCertificateInfo& certificate) {
        (void)host;
        (void)certificate;
        return TCertificateAnswer::Cancel;
    }
    // The plain-FTP server of this site offers TLS; said once per site.
    virtual void ServerOffersTls(const std::string& host) { (void)host; }
};

class TUploadRun : public QObject {
  public:
    // files: sent from the last to the first; remoteDir: the folder to
    // change to, else the site's initial folder.
    TUploadRun(std::vector<std::string> files, TServerData site, std::string remoteDir,
               TUploadObserver& observer, QObject* parent = nullptr);
    ~TUploadRun() override;

    // Sums the sizes, checks the site and every argument that would go to the
    // server, then connects. Problems found before connecting end the run at
    // once (ShowError, Finished(false)).
    void Start();
    // Stops the run: the session is aborted when a connection is open or
    // being made; no error is shown.
    void Cancel();

    // Nobody is there to answer: a certificate no authority vouches for ends
    // the run (with its fingerprint and how to trust it), and a plain-FTP
    // login warns on the warning line that the password went unencrypted.
    void SetUnattended(bool value) { unattended_ = value; }
    // Where what the run learns about the site (a trusted certificate, that
    // the server offers TLS) is saved, under the site's LoadedKey; without a
    // store it is kept in Site() only.
    void SetStore(const TServerStore* store) { store_ = store; }
    // Receives the one-line warnings of an unattended run; standard error
    // when not set.
    void SetWarningSink(std::function<void(const std::string&)> sink) { warn_ = std::move(sink); }
    // Connect, change to the folder, list it and log out; no file is sent.
    void SetConnectionTestOnly(bool value) { testOnly_ = value; }
    const TServerData& Site() const { return site_; }
    TUploadOutcome Outcome() const { return outcome_; }

    std::int64_t TotalBytes() const { return totalBytes_; }
    std::int64_t DoneBytes() const { return doneBytes_; }
    bool Running() const { return started_ && !finished_; }
    // The run got as far as starting a connection.
    bool Contacted() const { return contacted_; }
    TFtpClient& Client() { return *ftp_; }
    // Seconds without any event from the server after which the run ends
    // with "Error 426 Timeout" (the site's Timeout, 60 when it has none).
    int IdleSeconds() const { return idleSeconds_; }

  private:
    enum class Phase { Idle, Connecting, Folder, MakingFolder, Typing, Sending, Quitting, Over };

    void RequestDone(TFtpRequest rq, int error);
    void HandleDone(TFtpRequest rq, int error);
    void Progress(std::int64_t count);
    void SendCurrentFile();
    void Fail(const std::string& text);
    void Finish(bool success);
    void IdleTimeout();
    std::string CheckArguments() const;
    void Connect();
    bool HandleCertificate();
    void NoteConnected();
    void SaveSecurityValues();
    void Warn(const std::string& text);
    std::string FailureText(TFtpRequest rq, int error) const;

    std::vector<std::string> files_;
    std::vector<std::int64_t> sizes_;
    TServerData site_;
    std::string remoteDir_;
    TUploadObserver& observer_;
    std::unique_ptr<TFtpClient> ftp_;
    QTimer* idle_;
    int idleSeconds_ = 60;
    Phase phase_ = Phase::Idle;
    int current_ = -1; // index of the file being sent; moves on only after its Put
    bool askedFolder_ = false;
    bool started_ = false;
    bool contacted_ = false;
    bool finished_ = false;
    bool cancelled_ = false;
    bool failed_ = false;
    std::int64_t totalBytes_ = 0;
    std::int64_t doneBytes_ = 0;
    bool unattended_ = false;
    bool testOnly_ = false;
    bool timedOut_ = false;
    int trustAsked_ = 0;
    const TServerStore* store_ = nullptr;
    std::function<void(const std::string&)> warn_;
    TUploadOutcome outcome_;
};

// The site manager's "Test connection": logs in, changes to the folder
// (remoteDir, else the site's), lists it and logs out, within the site's
// timeout; the outcome's Summary or Error says what happened in plain words.
// Runs the event loop until done. Certificate questions go to observer.
TUploadOutcome TestConnection(const TServerData& site, TUploadObserver& observer,
                              const std::string& remoteDir = {},
                              const TServerStore* store = nullptr);

} // namespace tessaly
