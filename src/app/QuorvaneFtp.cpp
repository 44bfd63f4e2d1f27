#include "QuorvaneFtp.h"

#include "Prompts.h"
#include "ServerManagerDialog.h"

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

} // namespace tessaly
