#include "SiteMapSettings.h"

#include "Folders.h"

namespace tessaly {

TSiteMapSettings::TSiteMapSettings() : SettingFile(ConfigFolder() + "SiteMap.dat") {}

} // namespace tessaly
