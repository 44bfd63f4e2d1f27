#include "QuorvaneFtp.h"

#include "Prompts.h"
#include "ServerManagerDialog.h"
#include "UploadWindow.h"

#include <cstdio>

namespace tessaly {

TQuorvaneFTP::TQuorvaneFTP(TServerStore store, QObject* parent)
    : QObject(parent), store_(std::move(store)) {}

std::vector<std::string> TQuorvaneFTP::ServerNames() const {
    return store_.ServerNames();
}

std::optional<std::string> TQuorvaneFTP::ShowServerDialog(QWidget* parent) {
    if (!prompts().interactive()) {
        std::fprintf(stderr, "My Sites: no one to choose a site; cancelled\n");
        return std::nullopt;
    }
    TwinServers manager(store_, parent);
    manager.SetOkCaption(ServerDialogOKButtonCaption);
    manager.exec();
    std::string name = manager.SelectedName();
    if (!manager.ClosedByOk() || name.empty())
        return std::nullopt;
    SelectedServerName = name;
    SelectedServer = store_.LoadServerData(name);
    return name;
}

bool TQuorvaneFTP::UploadFiles(QWidget* parent, const std::vector<std::string>& files,
                               const std::string& remoteDir, bool unattended) {
    // A store or key file that cannot be used is named with what is wrong
    // with it, not taken for a missing site or a password never saved.
    std::string storeError;
    SelectedServer = store_.LoadServerData(SelectedServerName, &storeError);
    if (!storeError.empty()) {
        if (unattended)
            std::fprintf(stderr, "Upload: %s\n", storeError.c_str());
        else
            messageDlg(storeError, "Error", PromptIcon::Error, Ok);
        return false;
    }
    if (SelectedServer.HostName.empty()) {
        if (unattended)
            std::fprintf(stderr, "Upload: the site \"%s\" does not exist or has no host name\n",
                         SelectedServerName.c_str());
        return false;
    }
    TServerData site = SelectedServer;
    if (site.Password.empty()) {
        auto known = passwords_.find(SelectedServerName);
        if (known != passwords_.end()) {
            site.Password = known->second;
        } else if (unattended) {
            std::fprintf(stderr, "Upload: no password is saved for the site \"%s\"\n",
                         SelectedServerName.c_str());
            return false;
        } else {
            InputRequest ask;
            ask.caption = "Password";
            ask.label = "Password for " + site.Username + " on " + site.HostName + ":";
            ask.masked = true;
            std::optional<std::string> typed = prompts().inputText(ask);
            if (!typed)
                return false;
            site.Password = *typed;
            passwords_[SelectedServerName] = *typed;
        }
    }
    return TfrmUploadFile::RunUploadWindow(parent, files, SelectedServerName, site, remoteDir,
                                           unattended, &store_);
}

} // namespace tessaly
