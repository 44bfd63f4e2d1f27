#pragma once
#include "ChangeFreq.h"
#include "StampText.h"

#include <string>

namespace tessaly {

// One site map item, owned by its node in the site tree. The fields are
// ordered largest first: a large site holds a record per item, and padding
// between them would be paid for each.
struct TDataRec {
    std::string FilePath;   // local path (folders end in "/") or page address
    std::string LinkText;   // the node's caption
    std::string FolderPath; // the item's folder, with a trailing "/"
    std::string LinkURL;    // the address written to the site maps
    TStampText LastMod;     // W3C date-time stamp
    double Priority = 0.5;
    ChangeFreqType ChangeFreq = cfMonthly;
    bool IsFolder = false;
    // LastMod is the page's own date (its file time or its Last-Modified
    // header), not the moment the item was made.
    bool LastModKnown = false;
    bool DeleteMark = false;
};

// Tree icons; the icon is part of an item's meaning.
enum TreeIcon : int { iconFolder = 0, iconPage = 1, iconImage = 2 };

} // namespace tessaly
