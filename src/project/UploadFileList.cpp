#include "UploadFileList.h"

#include "Folders.h"

namespace tessaly {

std::string MapImageFolder() {
    return ProgramFolder() + "smimages/";
}

std::vector<std::string> UploadFileList(const TMapProfile& profile,
                                        const std::string& googleSiteMapFile) {
    std::vector<std::string> files = {profile.OutputFileName(), googleSiteMapFile};
    for (const char* name : kMapImages)
        files.push_back(MapImageFolder() + name);
    return files;
}

} // namespace tessaly
