#pragma once
#include "ChangeFreq.h"

#include <string>

namespace tessaly {

// One site map item, owned by its node in the site tree.
struct TDataRec {
    std::string FilePath;   // local path (folders end in "/") or page address
    std::string LinkText;   // the node's caption
    std::string FolderPath; // the item's folder, with a trailing "/"
    bool IsFolder = false;
    std::string LinkURL; // the address written to the site maps
    std::string LastMod; // W3C date-time stamp
    // LastMod is the page's own date (its file time or its Last-Modified
    // header), not the moment the item was made.
    bool LastModKnown = false;
    ChangeFreqType ChangeFreq = cfMonthly;
    double Priority = 0.5;
    bool DeleteMark = false;
};

// Tree icons; the icon is part of an item's meaning.
enum TreeIcon : int { iconFolder = 0, iconPage = 1, iconImage = 2 };

} // namespace tessaly
