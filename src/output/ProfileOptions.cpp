#include "ProfileOptions.h"

#include "FileRoutines.h"
#include "MapHtml.h"

namespace tessaly {

ProfileOptions LoadProfileOptions(const TMapProfile& p, bool loadLast) {
    ProfileOptions o;
    o.colors = {p.clrBackground(), p.clrText(), p.clrLink(), p.clrVisited(), p.clrActive()};
    o.fileTypes = p.FileTypes();
    o.ignoreFolders = SplitLines(p.IgnoreFolders());
    o.ignoreFiles = SplitLines(p.IgnoreFiles());
    o.usePageTitles = p.UsePageTitles();
    o.loadLast = loadLast;
    o.addImages = p.AddImages();
    o.noFolderImages = p.NoFolderImages();
    o.serverDir = p.ServerDir();
    o.defFreq = p.DefFreq();
    o.defPri = p.DefPri();
    o.followQueryParts = p.FollowQueryParts();
    o.sitemapProtocol = p.SitemapProtocol();
    o.lastModWhenKnown = p.LastModWhenKnown();
    o.sitemapAddress = p.SitemapAddress();
    return o;
}

bool WriteProfileOptions(const ProfileOptions& o, TMapProfile& p) {
    p.setclrBackground(o.colors[0]);
    p.setclrText(o.colors[1]);
    p.setclrLink(o.colors[2]);
    p.setclrVisited(o.colors[3]);
    p.setclrActive(o.colors[4]);
    p.setFileTypes(o.fileTypes);
    // A list whose entries are unchanged keeps its text, whatever line ends
    // the file used, and so does not count as a change.
    if (SplitLines(p.IgnoreFolders()) != o.ignoreFolders)
        p.setIgnoreFolders(JoinLines(o.ignoreFolders));
    if (SplitLines(p.IgnoreFiles()) != o.ignoreFiles)
        p.setIgnoreFiles(JoinLines(o.ignoreFiles));
    p.setUsePageTitles(o.usePageTitles);
    p.setDefPri(o.defPri);
    p.setDefFreq(o.defFreq);
    if (o.serverName)
        p.setServerName(*o.serverName);
    p.setServerDir(o.serverDir);
    p.setAddImages(o.addImages);
    p.setNoFolderImages(o.noFolderImages);
    p.setFollowQueryPartsText(JoinLines(o.followQueryParts));
    p.setSitemapProtocol(o.sitemapProtocol);
    p.setLastModWhenKnown(o.lastModWhenKnown);
    p.setSitemapAddress(o.sitemapAddress);
    return o.loadLast;
}

std::optional<std::size_t> FindListEntry(const std::vector<std::string>& list,
                                         const std::string& entry) {
    const std::string key = LowerCase(entry);
    for (std::size_t i = 0; i < list.size(); ++i)
        if (LowerCase(list[i]) == key)
            return i;
    return std::nullopt;
}

std::size_t AddIgnoredFiles(std::vector<std::string>& list, const std::vector<std::string>& files) {
    std::size_t added = 0;
    for (const std::string& file : files) {
        if (FindListEntry(list, file))
            continue;
        list.push_back(LowerCase(file));
        ++added;
    }
    return added;
}

std::string ColorPreviewPage(const std::array<TColor, 5>& c) {
    TMapProfile colors;
    colors.setclrBackground(c[0]);
    colors.setclrText(c[1]);
    colors.setclrLink(c[2]);
    colors.setclrVisited(c[3]);
    colors.setclrActive(c[4]);
    auto font = [](TColor color, const char* rest) {
        return "<font color=\"" + ColorToHTML(color) + "\"" + rest + "\r\n";
    };
    return "<html>\r\n" + MapBodyTag(colors) + "\r\n" +
           "Page Text will look like this!<BR><BR>\r\n" +
           font(c[2], "><u>Links will look like this!</u></font><BR>") +
           font(c[3], "><U>Visited Links will look like this!</U></font><BR>") +
           font(c[4], "><U>Active Links will look like this!</U></font><BR><BR>") +
           "</body>\r\n</html>\r\n";
}

} // namespace tessaly
