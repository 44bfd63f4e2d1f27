// Writes the example profile for the example site wherever it was copied:
//   make_example_profile SITE_FOLDER PROFILE_FILE
// The profile scans the local folder and writes the site maps into the site.
#include "Folders.h"
#include "ProfileFile.h"

#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SITE_FOLDER PROFILE_FILE\n", argv[0]);
        return 2;
    }
    // Profiles name their files by absolute paths: a profile is run from any
    // folder.
    std::string site = tessaly::AddBackslash(tessaly::AbsolutePath(argv[1]));
    tessaly::TMapProfile p;
    p.setFileTypes(
        "*.htm;*.html;*.shtm;*.shtml;*.txt;*.php;*.php4;*.php5;*.pdf;*.swf;*.asp;*.cfm;");
    p.setSpiderType(tessaly::mstLocal);
    p.setIndexPage(site + "index.html");
    p.setWebsite("http://www.lakeside-pottery.example/");
    p.setOutputFileName(site + "sitemap.html");
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
