#include "UploadFileList.h"

#include "Folders.h"

namespace tessaly {

std::string MapImageFolder() {
    return ProgramFolder() + "smimages/";
}

std::vector<std::string> UploadFileList(const TMapProfile& profile,
                                        const std::vector<std::string>& sitemapFiles) {
    std::vector<std::string> files = {profile.OutputFileName()};
    if (sitemapFiles.empty())
        files.emplace_back();
    files.insert(files.end(), sitemapFiles.begin(), sitemapFiles.end());
    for (const char* name : kMapImages)
        files.push_back(MapImageFolder() + name);
    return files;
}

} // namespace tessaly
