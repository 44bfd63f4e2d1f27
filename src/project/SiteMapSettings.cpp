#include "SiteMapSettings.h"

#include "Folders.h"

namespace tessaly {

TSiteMapSettings::TSiteMapSettings() : SettingFile(DataFolder() + "SiteMap.dat") {}

} // namespace tessaly
