#pragma once
#include "ChangeFreq.h"
#include "SharedText.h"
#include "StampText.h"

#include <string>

namespace tessaly {

// Why a fetched page is kept out of both site maps while it stays in the
// tree: it asks not to be indexed, or names another address as its
// canonical one.
enum class TLeftOut : unsigned char { None, NoIndex, Canonical };

// Why, in words: "Left out of the site maps: " + the reason.
inline const char* LeftOutReason(TLeftOut why) {
    switch (why) {
    case TLeftOut::NoIndex:
        return "the page asks not to be indexed (noindex)";
    case TLeftOut::Canonical:
        return "the page names another address as its canonical one";
    case TLeftOut::None:
        break;
    }
    return "";
}

// One site map item, owned by its node in the site tree. The fields are
// ordered largest first: a large site holds a record per item, and padding
// between them would be paid for each.
struct TDataRec {
    // The local path (folders end in "/"). A crawled page's path is its
    // address, which LinkURL already holds: there it stays empty, so the
    // address is kept once. Read it through Path().
    std::string FilePath;
    std::string LinkText;   // the node's caption
    std::string LinkURL;    // the address written to the site maps
    TSharedText FolderPath; // the item's folder, with a trailing "/"
    TStampText LastMod;     // W3C date-time stamp
    double Priority = 0.5;
    ChangeFreqType ChangeFreq = cfMonthly;
    bool IsFolder = false;
    // LastMod is the page's own date (its file time or its Last-Modified
    // header), not the moment the item was made.
    bool LastModKnown = false;
    bool DeleteMark = false;
    // Kept out of both maps (drawn greyed); the user may take it back in.
    TLeftOut LeftOut = TLeftOut::None;

    // The local path, or the address of a crawled page.
    const std::string& Path() const { return FilePath.empty() ? LinkURL : FilePath; }
};

// Tree icons; the icon is part of an item's meaning.
enum TreeIcon : int { iconFolder = 0, iconPage = 1, iconImage = 2 };

} // namespace tessaly
