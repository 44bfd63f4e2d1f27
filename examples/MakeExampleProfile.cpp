// Writes the example profile for the example site wherever it was copied:
//   make_example_profile [--website URL] SITE_FOLDER PROFILE_FILE [FTP_SITE [REMOTE_FOLDER]]
// The profile scans the local folder, or with --website spiders the site
// served at URL, and writes the site maps into the site folder; with an FTP
// site named (see make_example_site), an unattended run uploads them there,
// into REMOTE_FOLDER when given.
#include "Folders.h"
#include "ProfileFile.h"

#include <cstdio>

int main(int argc, char** argv) {
    const char* program = argv[0];
    std::string website;
    if (argc >= 3 && std::string(argv[1]) == "--website") {
        website = argv[2];
        argc -= 2;
        argv += 2;
    }
    if (argc < 3 || argc > 5) {
        std::fprintf(stderr,
                     "usage: %s [--website URL] SITE_FOLDER PROFILE_FILE [FTP_SITE "
                     "[REMOTE_FOLDER]]\n",
                     program);
        return 2;
    }
    // Profiles name their files by absolute paths: a profile is run from any
    // folder.
    std::string site = tessaly::AddBackslash(tessaly::AbsolutePath(argv[1]));
    tessaly::TMapProfile p;
    p.setFileTypes(
        "*.htm;*.html;*.shtm;*.shtml;*.txt;*.php;*.php4;*.php5;*.pdf;*.swf;*.asp;*.cfm;");
    p.setSpiderType(website.empty() ? tessaly::mstLocal : tessaly::mstWebsite);
    p.setIndexPage(site + "index.html");
    p.setWebsite(website.empty() ? "http://www.lakeside-pottery.example/" : website);
    p.setOutputFileName(site + "sitemap.html");
    if (argc >= 4)
        p.setServerName(argv[3]);
    if (argc == 5)
        p.setServerDir(argv[4]);
    p.setFileName(tessaly::AbsolutePath(argv[2]));
    p.Modified = false;
    try {
        tessaly::WriteFileText(tessaly::ProfileToBytes(p), argv[2]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
