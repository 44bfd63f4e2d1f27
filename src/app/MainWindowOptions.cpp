// The profile options dialog as the main window opens it.
#include "MainWindow.h"

#include "ProfileOptionsDialog.h"

namespace tessaly {

void TfrmSiteMapMain::ShowProfileOptions(int page) {
    if (!Settings)
        return; // before the first activation there are no settings to show
    ServerSites sites{[this] { return Uploader().ServerNames(); },
                      [this](QWidget* parent) { return Uploader().ShowServerDialog(parent); }};
    std::optional<bool> loadLast = TfrmSiteMapOptions::ShowProfileOptions(
        this, Profile, Settings->LoadLast, page, std::move(sites));
    if (!loadLast)
        return;
    Settings->LoadLast = *loadLast;
    IgnoreFolderList = SplitLines(Profile.IgnoreFolders());
    IgnoreFileList = SplitLines(Profile.IgnoreFiles());
}

} // namespace tessaly
