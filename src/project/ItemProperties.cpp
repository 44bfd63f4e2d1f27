#include "ItemProperties.h"

namespace tessaly {

void ApplyToSubitems(TSiteTree& tree, TSiteTree::Node* item, bool onlyIfDefault, double priority,
                     ChangeFreqType changeFreq, const TMapProfile& profile) {
    std::vector<TSiteTree::Node*> stack;
    for (auto it = item->children.rbegin(); it != item->children.rend(); ++it)
        stack.push_back(it->get());
    while (!stack.empty()) {
        TSiteTree::Node* d = stack.back();
        stack.pop_back();
        if (!onlyIfDefault || d->data.ChangeFreq == profile.DefFreq())
            d->data.ChangeFreq = changeFreq;
        if (!onlyIfDefault || d->data.Priority == profile.DefPri())
            d->data.Priority = priority;
        tree.itemChanged(d);
        for (auto it = d->children.rbegin(); it != d->children.rend(); ++it)
            stack.push_back(it->get());
    }
}

std::string LeftOutReasonOf(TSiteTree::Node* item, const std::vector<TSiteTree::Node*>& selected) {
    if (item)
        return LeftOutReason(item->data.LeftOut);
    for (const TSiteTree::Node* n : selected)
        if (n->data.LeftOut != TLeftOut::None)
            return LeftOutReason(n->data.LeftOut);
    return {};
}

bool EditItemProperties(TSiteTree& tree, const TMapProfile& profile, TSiteTree::Node* item,
                        const std::vector<TSiteTree::Node*>& selected,
                        const EditSiteMapItemFn& dialog) {
    if (item) {
        TDataRec& d = item->data;
        auto edit = dialog(d.Path(), d.LinkText, d.LinkURL, d.ChangeFreq, d.Priority);
        if (!edit)
            return false;
        // A crawled page's path is its address until the address is edited.
        if (d.FilePath.empty())
            d.FilePath = d.LinkURL;
        d.LinkText = edit->linkText;
        d.LinkURL = edit->linkURL;
        d.ChangeFreq = edit->changeFreq;
        d.Priority = edit->priority;
        if (edit->includeInMaps)
            d.LeftOut = TLeftOut::None;
        // An address of a folder makes the item a folder item.
        if (d.LinkURL.size() > 1 && d.LinkURL.back() == '/')
            item->icon = iconFolder;
        tree.itemChanged(item);
        if (edit->applyToSubitems)
            ApplyToSubitems(tree, item, edit->onlyIfDefault, edit->priority, edit->changeFreq,
                            profile);
        return true;
    }
    if (selected.empty())
        return false;
    const TDataRec& first = selected.front()->data;
    auto edit = dialog(kMultipleFilesSelected, kMultipleFilesSelected, kMultipleFilesSelected,
                       first.ChangeFreq, first.Priority);
    if (!edit)
        return false;
    for (TSiteTree::Node* n : selected) {
        n->data.ChangeFreq = edit->changeFreq;
        n->data.Priority = edit->priority;
        if (edit->includeInMaps)
            n->data.LeftOut = TLeftOut::None;
        tree.itemChanged(n);
        if (edit->applyToSubitems)
            ApplyToSubitems(tree, n, edit->onlyIfDefault, edit->priority, edit->changeFreq,
                            profile);
    }
    return true;
}

} // namespace tessaly
