#pragma once
// The uploader the main window owns: the site chosen for uploads, the site
// manager as the target dialog and options open it, and the upload itself.
#include "ServerStore.h"

#include <QObject>
#include <QString>
#include <map>
#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace tessaly {

class TQuorvaneFTP : public QObject {
    Q_OBJECT
  public:
    explicit TQuorvaneFTP(TServerStore store = TServerStore(), QObject* parent = nullptr);

    QString ServerDialogOKButtonCaption = "OK";
    std::string SelectedServerName;
    TServerData SelectedServer;

    const TServerStore& Store() const { return store_; }
    // The names of all sites, read afresh.
    std::vector<std::string> ServerNames() const;
    // Opens the site manager; the chosen site's name when it was left through
    // its OK button with a site selected, else nothing. Nothing at once where
    // nobody can answer a window.
    std::optional<std::string> ShowServerDialog(QWidget* parent);
    // Uploads files to the site named SelectedServerName into remoteDir (else
    // the site's initial folder). True when every file arrived; false when
    // the site is missing or has no host, no password could be had, the run
    // failed or was cancelled. unattended: nobody is asked anything, and every
    // reason for failing goes to standard error.
    bool UploadFiles(QWidget* parent, const std::vector<std::string>& files,
                     const std::string& remoteDir, bool unattended);

  private:
    TServerStore store_;
    // Passwords typed for sites that keep none, for as long as the program runs.
    std::map<std::string, std::string> passwords_;
};

} // namespace tessaly
