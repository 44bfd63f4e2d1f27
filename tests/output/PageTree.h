#pragma once
// A site tree of many pages under one home folder, for the tests whose
// output must go out in several pieces.
#include "SiteTree.h"

#include <string>

inline void FillPageTree(tessaly::TSiteTree& t, int pages, const std::string& prefix) {
    tessaly::TDataRec home;
    home.LinkURL = "http://www.example.com/";
    home.LastMod = "2024-05-01T12:00:00+00:00";
    tessaly::TSiteTree::Node* top = t.addItem(nullptr, home, tessaly::iconFolder);
    for (int i = 0; i < pages; ++i) {
        tessaly::TDataRec r = home;
        r.LinkURL = prefix + std::to_string(i) + ".html";
        t.addItem(top, r, tessaly::iconPage);
    }
}
