#pragma once
// "Upload File To Server": shows one upload run, its file, status line and
// two progress bars, with Cancel. The run's steps are TUploadRun's.
#include "UploadRun.h"

#include <QDialog>
#include <memory>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tessaly {

class TfrmUploadFile : public QDialog, private TUploadObserver {
    Q_OBJECT
  public:
    // unattended: nobody waits at the window. Errors go to standard error and
    // close it without success; the folder question takes its default, Yes.
    TfrmUploadFile(std::vector<std::string> files, const std::string& siteName,
                   const TServerData& site, const std::string& remoteDir, bool unattended,
                   const TServerStore* store = nullptr, QWidget* parent = nullptr);
    ~TfrmUploadFile() override;

    // Shows the window modally until the run ends; true when every file arrived.
    static bool RunUploadWindow(QWidget* parent, const std::vector<std::string>& files,
                                const std::string& siteName, const TServerData& site,
                                const std::string& remoteDir, bool unattended,
                                const TServerStore* store = nullptr);

    TUploadRun& Run() { return *run_; }

    QLabel* statFile;
    QLabel* statServer;
    QLabel* lblProgress;
    QProgressBar* pbStatus;
    QLabel* lblTotal;
    QProgressBar* pbFullStatus;
    QPushButton* btnCancel;

  protected:
    void showEvent(QShowEvent* e) override;
    void reject() override;

  private:
    void Begin();
    void btnCancelClick();
    int Scaled(std::int64_t bytes) const;

    // TUploadObserver
    void ShowStatus(const std::string& text) override;
    void ShowFile(const std::string& path, std::int64_t size) override;
    void ShowProgress(std::int64_t fileBytes, std::int64_t allBytes) override;
    bool AskCreateFolder() override;
    void ShowError(const std::string& text) override;
    void Finished(bool success) override;
    TCertificateAnswer AskTrustCertificate(const std::string& host,
                                           const TFtpCertificateInfo& certificate) override;
    void ServerOffersTls(const std::string& host) override;

    std::unique_ptr<TUploadRun> run_;
    bool unattended_;
    bool started_ = false;
    bool errorShown_ = false;
    bool closing_ = false;
    // The certificate question was answered Cancel.
    bool declined_ = false;
    std::string status_;
    int shift_ = 0; // bars count bytes >> shift_, so they fit an int
};

} // namespace tessaly
