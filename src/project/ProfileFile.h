#pragma once
// Profile (".qvt") and settings ("SiteMap.dat") files in the property-stream
// format. Errors are EStreamError (format) or EFileError (file layer), whose
// texts are shown to the user as they stand.
#include "MapProfile.h"
#include "PropertyStream.h"
#include "SiteMapSettings.h"

#include <string>

namespace tessaly {

class EFileError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

std::string ProfileToBytes(const TMapProfile& p);
// Reads the records into the profile, in order; throws on the first error,
// leaving what was read so far applied.
void ProfileFromBytes(const std::string& bytes, TMapProfile& p);
std::string SettingsToBytes(const TSiteMapSettings& s);
void SettingsFromBytes(const std::string& bytes, TSiteMapSettings& s);

// Whole-file reading and atomic writing (a temporary file in the same folder,
// then a rename), so a failed write leaves the old file as it was.
std::string ReadWholeFile(const std::string& path);
void WriteFileAtomically(const std::string& path, const std::string& bytes);

} // namespace tessaly
