#pragma once
// Editing the properties of one or several site map items.
#include "MapProfile.h"
#include "SiteTree.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tessaly {

// What the item dialog returns on OK.
struct ItemEdit {
    std::string linkText;
    std::string linkURL;
    ChangeFreqType changeFreq = cfMonthly;
    double priority = 0.5;
    bool applyToSubitems = false;
    bool onlyIfDefault = false;
    // Takes items the crawl left out of the maps back in (until the next
    // search).
    bool includeInMaps = false;
};

// The dialog: file label, link text, address, frequency, priority in; the
// edit on OK, nothing on Cancel.
using EditSiteMapItemFn = std::function<std::optional<ItemEdit>(
    const std::string& fileLabel, const std::string& linkText, const std::string& linkURL,
    ChangeFreqType changeFreq, double priority)>;

inline constexpr const char* kMultipleFilesSelected = "Multiple Files Selected";

// Edits one item, or (item == nullptr) every selected item. Returns true when
// the user pressed OK and items changed.
// The reason the items are left out of the maps, for the dialog: the first
// left-out item's, or "" when none is.
std::string LeftOutReasonOf(TSiteTree::Node* item, const std::vector<TSiteTree::Node*>& selected);

bool EditItemProperties(TSiteTree& tree, const TMapProfile& profile, TSiteTree::Node* item,
                        const std::vector<TSiteTree::Node*>& selected,
                        const EditSiteMapItemFn& dialog);

// Hands frequency and priority down to every descendant, depth first; with
// onlyIfDefault each value replaces only a descendant's value that equals the
// profile's current default.
void ApplyToSubitems(TSiteTree& tree, TSiteTree::Node* item, bool onlyIfDefault, double priority,
                     ChangeFreqType changeFreq, const TMapProfile& profile);

} // namespace tessaly
