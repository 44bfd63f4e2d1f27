#include "UploadTargetDialog.h"

#include "DialogButtons.h"
#include "Prompts.h"
#include "QuorvaneFtp.h"
#include "TextConv.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>

namespace tessaly {

TfrmSiteMapFTP::TfrmSiteMapFTP(TQuorvaneFTP& ftp, const TMapProfile& profile, QWidget* parent)
    : QDialog(parent), ftp_(ftp) {
    setObjectName("frmSiteMapFTP");
    setWindowTitle("FTP Upload");
    cboServer = new QComboBox(this);
    cboServer->setObjectName("cboServer");
    btnEditAddServer = new QPushButton("Edit/Add Server...", this);
    btnEditAddServer->setObjectName("btnEditAddServer");
    btnEditAddServer->setAutoDefault(false);
    editRemoteUploadDir = new QLineEdit(qs(profile.ServerDir()), this);
    editRemoteUploadDir->setObjectName("editRemoteUploadDir");
    DialogButtons buttons = MakeDialogButtons(this, "Upload");
    btnOk = buttons.btnOk;
    btnCancel = buttons.btnCancel;

    auto* serverRow = new QHBoxLayout;
    serverRow->addWidget(cboServer, 1);
    serverRow->addWidget(btnEditAddServer);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(new QLabel("Server to Upload SiteMap to:", this));
    outer->addLayout(serverRow);
    outer->addWidget(new QLabel("Remote Folder to upload to: (If different from initial host "
                                "folder) IE: public_html/sitemap/",
                                this));
    outer->addWidget(editRemoteUploadDir);
    outer->addLayout(buttons.row);

    connect(cboServer, &QComboBox::currentIndexChanged, this, &TfrmSiteMapFTP::UpdateOk);
    connect(btnEditAddServer, &QPushButton::clicked, this, &TfrmSiteMapFTP::EditAddServerClick);
    FillServers(profile.ServerName());
}

void TfrmSiteMapFTP::FillServers(const std::string& select) {
    cboServer->clear();
    for (const std::string& name : ftp_.ServerNames())
        cboServer->addItem(qs(name));
    // The list's own lookup, which ignores letter case.
    cboServer->setCurrentIndex(
        select.empty() ? -1 : cboServer->findText(qs(select), Qt::MatchFixedString));
    UpdateOk();
}

void TfrmSiteMapFTP::UpdateOk() {
    btnOk->setEnabled(cboServer->currentIndex() >= 0);
}

void TfrmSiteMapFTP::EditAddServerClick() {
    if (std::optional<std::string> chosen = ftp_.ShowServerDialog(this))
        FillServers(*chosen);
}

bool TfrmSiteMapFTP::SelectUploadTarget(QWidget* parent, TMapProfile& profile, TQuorvaneFTP& ftp) {
    if (!prompts().interactive()) {
        std::fprintf(stderr, "FTP Upload: no one to choose the upload target; cancelled\n");
        return false;
    }
    TfrmSiteMapFTP dialog(ftp, profile, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.cboServer->currentIndex() < 0)
        return false;
    profile.setServerName(ss(dialog.cboServer->currentText()));
    profile.setServerDir(ss(dialog.editRemoteUploadDir->text()));
    return true;
}

} // namespace tessaly
