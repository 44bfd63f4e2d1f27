#include "UploadWindow.h"

#include "Prompts.h"
#include "TextConv.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <climits>
#include <cstdio>

namespace tessaly {

TfrmUploadFile::TfrmUploadFile(std::vector<std::string> files, const std::string& siteName,
                               const TServerData& site, const std::string& remoteDir,
                               bool unattended, const TServerStore* store, QWidget* parent)
    : QDialog(parent), unattended_(unattended) {
    setObjectName("frmUploadFile");
    setWindowTitle("Upload File To Server");
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    auto* grid = new QGridLayout;
    auto stat = [&](const char* name, const char* label, int row) {
        grid->addWidget(new QLabel(label, this), row, 0);
        auto* l = new QLabel(this);
        l->setObjectName(name);
        l->setTextFormat(Qt::PlainText);
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
        l->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        grid->addWidget(l, row, 1);
        return l;
    };
    statFile = stat("statFile", "File:", 0);
    statServer = stat("statServer", "Server:", 1);
    grid->setColumnStretch(1, 1);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName("lblProgress");
    lblProgress->setTextFormat(Qt::PlainText);
    pbStatus = new QProgressBar(this);
    pbStatus->setObjectName("pbStatus");
    lblTotal = new QLabel("Total Transfer Progress:", this);
    lblTotal->setObjectName("lblTotal");
    pbFullStatus = new QProgressBar(this);
    pbFullStatus->setObjectName("pbFullStatus");
    btnCancel = new QPushButton("Cancel", this);
    btnCancel->setObjectName("btnCancel");
    for (QProgressBar* bar : {pbStatus, pbFullStatus})
        bar->setValue(0);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(btnCancel);
    auto* outer = new QVBoxLayout(this);
    outer->addLayout(grid);
    outer->addWidget(lblProgress);
    outer->addWidget(pbStatus);
    outer->addWidget(lblTotal);
    outer->addWidget(pbFullStatus);
    outer->addLayout(buttons);
    setMinimumWidth(420);
    connect(btnCancel, &QPushButton::clicked, this, &TfrmUploadFile::btnCancelClick);

    statServer->setText(qs(siteName));
    run_ = std::make_unique<TUploadRun>(std::move(files), site, remoteDir,
                                        static_cast<TUploadObserver&>(*this));
    // Unattended, a certificate nobody vouches for is refused, never asked
    // about; what the run learns of the site is kept in the store.
    run_->SetUnattended(unattended);
    run_->SetStore(store);
}

TfrmUploadFile::~TfrmUploadFile() {
    closing_ = true;
    run_.reset();
}

void TfrmUploadFile::showEvent(QShowEvent* e) {
    QDialog::showEvent(e);
    if (started_)
        return;
    started_ = true;
    // The run starts once the window is up, from the window's own queue.
    QTimer::singleShot(0, this, &TfrmUploadFile::Begin);
}

void TfrmUploadFile::Begin() {
    run_->Start();
    if (!run_->Running())
        return;
    std::int64_t total = run_->TotalBytes();
    while ((total >> shift_) > INT_MAX)
        ++shift_;
    pbFullStatus->setRange(0, Scaled(total));
    lblTotal->setText(
        QString("Total Transfer Progress: (%1 bytes to transfer)").arg(qint64(total)));
}

int TfrmUploadFile::Scaled(std::int64_t bytes) const {
    return int(bytes >> shift_);
}

void TfrmUploadFile::btnCancelClick() {
    closing_ = true;
    run_->Cancel();
    done(QDialog::Rejected);
}

void TfrmUploadFile::reject() {
    // Escape and the title bar cancel as the button does.
    btnCancelClick();
}

void TfrmUploadFile::ShowStatus(const std::string& text) {
    status_ = text;
    lblProgress->setText(qs(text));
}

void TfrmUploadFile::ShowFile(const std::string& path, std::int64_t size) {
    statFile->setText(qs(path));
    pbStatus->setRange(0, std::max(1, Scaled(size)));
    pbStatus->setValue(0);
}

void TfrmUploadFile::ShowProgress(std::int64_t fileBytes, std::int64_t allBytes) {
    // The status keeps its text up to the first "...", then the count.
    size_t dots = status_.find("...");
    std::string head = dots == std::string::npos ? status_ : status_.substr(0, dots + 3);
    lblProgress->setText(qs(head + " " + std::to_string(fileBytes) + " bytes"));
    pbStatus->setValue(std::min(pbStatus->maximum(), Scaled(fileBytes)));
    pbFullStatus->setValue(std::min(pbFullStatus->maximum(), Scaled(allBytes)));
}

bool TfrmUploadFile::AskCreateFolder() {
    const char* question = "Host Directory Does not exist. Do you want to create it?";
    if (unattended_) {
        std::fprintf(stderr, "Upload File To Server: %s Yes\n", question);
        return true;
    }
    return messageDlg(question, "Warning", PromptIcon::Warning, Yes | No) == Yes;
}

void TfrmUploadFile::ShowError(const std::string& text) {
    errorShown_ = true;
    if (unattended_) {
        std::fprintf(stderr, "Upload File To Server: %s\n", text.c_str());
        return;
    }
    bool local = text.rfind("Cannot open file", 0) == 0;
    messageDlg(text, local ? "Error" : "Warning", local ? PromptIcon::Error : PromptIcon::Warning,
               Ok);
}

void TfrmUploadFile::Finished(bool success) {
    if (closing_)
        return;
    if (success) {
        pbFullStatus->setValue(pbFullStatus->maximum());
        // Closed from the queue: the run is still inside its client's event.
        QTimer::singleShot(0, this, [this] { done(QDialog::Accepted); });
        return;
    }
    // A run that never reached the server, or an unattended one, closes; an
    // interactive run that met the server waits for Cancel with its message.
    if (unattended_ || !run_->Contacted() || declined_)
        QTimer::singleShot(0, this, [this] { done(QDialog::Rejected); });
}

TCertificateAnswer TfrmUploadFile::AskTrustCertificate(const std::string& host,
                                                       const TFtpCertificateInfo& certificate) {
    PromptMessage ask;
    ask.caption = "Certificate Not Trusted";
    ask.text = "The certificate of " + host +
               " is not vouched for by an authority this system "
               "trusts: " +
               certificate.Reason + "\n\nSubject: " + certificate.Subject +
               "\nIssuer: " + certificate.Issuer + "\nValid from " + certificate.ValidFrom +
               " until " + certificate.ValidUntil + "\nSHA-256 fingerprint: " + certificate.Sha256 +
               "\n\nTrust it only if you know this is your server's certificate; the upload "
               "will then accept exactly this certificate for this site.";
    ask.icon = PromptIcon::Warning;
    ask.buttons = Yes | Cancel;
    ask.defaultButton = Cancel;
    ask.buttonTexts = {{Yes, "Trust this certificate for this site"}};
    if (prompts().message(ask) == Yes)
        return TCertificateAnswer::TrustForThisSite;
    // The person said no: the run ends, and so does the window.
    declined_ = true;
    return TCertificateAnswer::Cancel;
}

void TfrmUploadFile::ServerOffersTls(const std::string& host) {
    messageDlg("The server " + host +
                   " supports TLS, but this site sends its password "
                   "unencrypted. To protect it, choose \"FTP + SSL + Data\" as the site's "
                   "connection type in the site manager.",
               "Upload File To Server", PromptIcon::Information, Ok);
}

bool TfrmUploadFile::RunUploadWindow(QWidget* parent, const std::vector<std::string>& files,
                                     const std::string& siteName, const TServerData& site,
                                     const std::string& remoteDir, bool unattended,
                                     const TServerStore* store) {
    TfrmUploadFile window(files, siteName, site, remoteDir, unattended, store, parent);
    return window.exec() == QDialog::Accepted;
}

} // namespace tessaly
