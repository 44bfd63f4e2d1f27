#pragma once
// "FTP Upload": which site the map profile's files go to, and into which
// remote folder.
#include "MapProfile.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tessaly {

class TQuorvaneFTP;

class TfrmSiteMapFTP : public QDialog {
    Q_OBJECT
  public:
    TfrmSiteMapFTP(TQuorvaneFTP& ftp, const TMapProfile& profile, QWidget* parent = nullptr);

    // Runs the dialog; after Upload stores the chosen site and folder in the
    // profile (marking it modified) and returns true; false after Cancel, or
    // at once where nobody can answer a window.
    static bool SelectUploadTarget(QWidget* parent, TMapProfile& profile, TQuorvaneFTP& ftp);

    QComboBox* cboServer;
    QPushButton* btnEditAddServer;
    QLineEdit* editRemoteUploadDir;
    QPushButton* btnOk;
    QPushButton* btnCancel;

  private:
    void FillServers(const std::string& select);
    void UpdateOk();
    void EditAddServerClick();

    TQuorvaneFTP& ftp_;
};

} // namespace tessaly
