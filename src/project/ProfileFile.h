#pragma once
// Profile (".qvt") and settings ("SiteMap.dat") files in the property-stream
// format. Errors are EStreamError (format) or EFileError (file layer), whose
// texts are shown to the user as they stand.
#include "FileRoutines.h"
#include "MapProfile.h"
#include "PropertyStream.h"
#include "SiteMapSettings.h"

#include <string>

namespace tessaly {

std::string ProfileToBytes(const TMapProfile& p);
// Reads the records into the profile, in order; throws on the first error,
// leaving what was read so far applied.
void ProfileFromBytes(const std::string& bytes, TMapProfile& p);
std::string SettingsToBytes(const TSiteMapSettings& s);
void SettingsFromBytes(const std::string& bytes, TSiteMapSettings& s);

} // namespace tessaly
