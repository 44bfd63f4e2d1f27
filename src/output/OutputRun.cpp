#include "OutputRun.h"

#include "FileRoutines.h"
#include "Folders.h"
#include "MapHtml.h"
#include "Prompts.h"
#include "TextRoutines.h"
#include "XmlSitemap.h"

#include <QFile>

namespace tessaly {

void SaveMapToFile(const TMapProfile& profile, const TSiteTree& tree, std::string& generatedMap,
                   std::vector<std::string>& sitemapFiles, SitemapJob* sitemap) {
    sitemapFiles.clear();
    MakeMapPage(profile, generatedMap);
    WriteFileText(generatedMap, profile.OutputFileName());
    if (sitemap)
        sitemap->finish(sitemapFiles);
    else
        WriteGoogleSiteMap(profile, tree, sitemapFiles);
    CopyMapImages(profile, profile.OutputFileName());
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

bool InsertMapIntoFile(const TMapProfile& profile, const std::string& generatedMap) {
    const std::string& file = profile.OutputInsert();
    if (!FileExists(file)) {
        messageDlg("Could not locate the following file:\n\n" + file +
                       "\n\nPlease check the Output Settings.",
                   "File Not Found", PromptIcon::Error, Ok);
        return false;
    }
    std::string text = ReadFileText(file);
    if (text.find(kStartMarker) == std::string::npos ||
        text.find(kEndMarker) == std::string::npos) {
        messageDlg("The file does not appear to have Site Map Tags in it.\n\nPlease ensure the "
                   "file has the following tags in it:\n\n<!-- sitemap --><!-- sitemap end -->",
                   "Site Map Tags Missing", PromptIcon::Error, Ok);
        return false;
    }
    WriteFileText(TextWithMapInserted(text, generatedMap), file);
    CopyMapImages(profile, file);
    return true;
}

void CopyMapImages(const TMapProfile& profile, const std::string& targetFile) {
    if (!profile.AddImages())
        return;
    std::string destination = AddBackslash(ExtractFilePath(targetFile));
    std::string source = MapImageFolder();
    if (!FileExists(source + kMapImages[0]))
        source = ProgramFolder();
    for (const char* name : kMapImages) {
        if (FileExists(source + name) && !FileExists(destination + name))
            QFile::copy(QString::fromStdString(source + name),
                        QString::fromStdString(destination + name));
    }
}

} // namespace tessaly
