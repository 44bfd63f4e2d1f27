// Scans a folder as the search step does, without a window, and prints the
// number of items and the peak memory:
//   bench_local_scan SITE_FOLDER titles|notitles
#include "LocalScan.h"

#include <QCoreApplication>
#include <cstdio>
#include <cstring>
#include <sys/resource.h>

namespace {
struct Quiet : tessaly::TScanReporter {
    void lookingIn(const std::string&) override {}
    void fileFound(const std::string&) override {}
    void fileCount(int) override {}
    void logLine(const std::string&) override {}
    void letEventsRun() override {}
};
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SITE_FOLDER titles|notitles\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    tessaly::TMapProfile profile;
    profile.setFileTypes("*.htm;*.html;*.png;");
    profile.setWebsite("http://www.example.com/");
    profile.setUsePageTitles(std::strcmp(argv[2], "titles") == 0);
    tessaly::TSiteTree tree;
    Quiet quiet;
    int found = 0;
    tessaly::TLocalScan scan(profile, tree, {}, {}, quiet, found);
    tree.beginBulk();
    scan.Run(argv[1]);
    tessaly::RemoveEmptyFolders(tree);
    tree.endBulk();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::fprintf(stderr, "items %zu, files %d, peak RSS %.1f MB\n", tree.count(), found,
                 double(ru.ru_maxrss) / 1024.0);
    return 0;
}
