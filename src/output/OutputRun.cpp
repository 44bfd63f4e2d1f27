#include "OutputRun.h"

#include "FileRoutines.h"
#include "Folders.h"
#include "MapHtml.h"
#include "Prompts.h"
#include "TextRoutines.h"
#include "XmlSitemap.h"

#include <exception>
#include <memory>

namespace tessaly {

void SaveMapToFile(const TMapProfile& profile, const TSiteTree& tree, std::string& generatedMap,
                   std::vector<std::string>& sitemapFiles, SitemapJob* sitemap,
                   const OutputRunOptions& options) {
    sitemapFiles.clear();
    const std::string& page = profile.OutputFileName();
    // The sitemap goes into temporary files first, so that every file the
    // run will put in place is known, and checked, before the first one is.
    // Its error waits until the page is written: the page's comes first.
    std::unique_ptr<SitemapWriter> ownSitemap;
    std::exception_ptr sitemapError;
    std::vector<std::string> sitemapTargets;
    if (sitemap) {
        sitemapTargets = sitemap->plannedFiles();
    } else if (WantsGoogleSiteMap(profile)) {
        try {
            ownSitemap = std::make_unique<SitemapWriter>(profile);
            ownSitemap->write(tree);
            sitemapTargets = ownSitemap->plannedFiles();
        } catch (...) {
            sitemapError = std::current_exception();
            ownSitemap.reset();
        }
    }
    // A sitemap that could not even be begun is still checked by its name: a
    // planted link there must stop the page too.
    if (sitemapTargets.empty() && WantsGoogleSiteMap(profile))
        sitemapTargets.push_back(GoogleSiteMapFileName(page));
    std::vector<OutputTarget> targets{{page, OutputKind::Page}};
    for (const std::string& file : sitemapTargets)
        targets.push_back({file, OutputKind::Sitemap});
    for (OutputTarget& image : MapImageTargets(profile, page))
        targets.push_back(std::move(image));
    CheckOutputTargets(targets, options);

    MakeMapPage(profile, generatedMap);
    WriteFileText(generatedMap, page);
    if (sitemap)
        sitemap->finish(sitemapFiles);
    else if (sitemapError)
        std::rethrow_exception(sitemapError);
    else if (ownSitemap)
        sitemapFiles = ownSitemap->commit();
    CopyMapImages(profile, page);
}

std::string TextWithMapInserted(const std::string& text, const std::string& generatedMap) {
    std::string old = TextBetween(text, kStartMarker, kEndMarker, true);
    std::string from = std::string(kStartMarker) + old + kEndMarker;
    std::size_t at = text.find(from);
    if (at == std::string::npos)
        return text;
    std::string result = text;
    result.replace(at, from.size(), std::string(kStartMarker) + generatedMap + "\r\n" + kEndMarker);
    return result;
}

bool InsertMapIntoFile(const TMapProfile& profile, const std::string& generatedMap,
                       const OutputRunOptions& options) {
    const std::string& file = profile.OutputInsert();
    if (!FileExists(file)) {
        messageDlg("Could not locate the following file:\n\n" + file +
                       "\n\nPlease check the Output Settings.",
                   "File Not Found", PromptIcon::Error, Ok);
        return false;
    }
    // A planted link is refused before anything is read through it. The
    // markers show the file is meant to take the map: no other question.
    std::vector<OutputTarget> targets = MapImageTargets(profile, file);
    ResolveWriteTarget(file);
    std::string text = ReadFileText(file);
    if (text.find(kStartMarker) == std::string::npos ||
        text.find(kEndMarker) == std::string::npos) {
        messageDlg("The file does not appear to have Site Map Tags in it.\n\nPlease ensure the "
                   "file has the following tags in it:\n\n<!-- sitemap --><!-- sitemap end -->",
                   "Site Map Tags Missing", PromptIcon::Error, Ok);
        return false;
    }
    CheckOutputTargets(targets, options);
    WriteFileText(TextWithMapInserted(text, generatedMap), file);
    CopyMapImages(profile, file);
    return true;
}

std::vector<OutputTarget> MapImageTargets(const TMapProfile& profile,
                                          const std::string& targetFile) {
    std::vector<OutputTarget> targets;
    if (!profile.AddImages())
        return targets;
    const std::string destination = AddBackslash(ExtractFilePath(targetFile));
    const std::string source = MapImageSource();
    for (const char* name : kMapImages)
        if (FileExists(source + name))
            targets.push_back({destination + name, OutputKind::Image});
    return targets;
}

void CopyMapImages(const TMapProfile& profile, const std::string& targetFile) {
    const std::string source = MapImageSource();
    for (const OutputTarget& image : MapImageTargets(profile, targetFile)) {
        // Where a link leads counts: an image already there stays.
        if (FileExists(ResolveWriteTarget(image.file)))
            continue;
        WriteFileText(ReadFileText(source + ExtractFileName(image.file)), image.file);
    }
}

} // namespace tessaly
