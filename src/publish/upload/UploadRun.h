#pragma once
// The steps of one upload, without widgets: connect and log in, change to the
// remote folder (or ask where the server starts), set the binary type, send
// each file, quit. The FTP client's events drive it; the folder question,
// Cancel and the view's updates go through an observer, so the upload window
// only shows it and tests drive it directly.
#include "FtpClient.h"
#include "ServerData.h"

#include <QObject>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QTimer;

namespace tessaly {

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
};

} // namespace tessaly
