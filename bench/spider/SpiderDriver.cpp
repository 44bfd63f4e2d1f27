// Crawls a site as the search step does, without a window, writes its XML
// sitemap and prints the counts, the time and the peak memory:
//   bench_spider START_ADDRESS SITEMAP_XML
#include "FileRoutines.h"
#include "Spider.h"
#include "SpiderReporter.h"
#include "XmlSitemap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <sys/resource.h>

namespace {
struct Quiet : tessaly::TSpiderReporter {
    void lookingIn(const std::string&) override {}
    void fileFound(const std::string&) override {}
    void fileCount(int) override {}
    void logLine(const std::string&) override {}
    void letEventsRun() override {}
};
} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s START_ADDRESS SITEMAP_XML\n", argv[0]);
        return 2;
    }
    QCoreApplication app(argc, argv);
    tessaly::TMapProfile profile;
    // The window's file types.
    profile.setFileTypes("*.htm;*.html;*.shtm;*.shtml;*.txt;*.php;*.php4;*.php5;*.pdf;*.swf;*.asp;"
                         "*.cfm;");
    profile.setWebsite(argv[1]);
    tessaly::TSiteTree tree;
    Quiet quiet;
    int found = 0;
    QElapsedTimer timer;
    timer.start();
    tree.beginBulk();
    {
        tessaly::TSpider spider(profile, tree, {}, {}, quiet, found);
        spider.RunSpider(argv[1]);
        if (!spider.StartPageError().empty()) {
            std::fprintf(stderr, "%s\n", spider.StartPageError().c_str());
            return 1;
        }
    }
    tree.endBulk();
    const double seconds = double(timer.elapsed()) / 1000.0;
    tessaly::WriteFileText(tessaly::BuildGoogleSiteMap(tree), argv[2]);
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("pages %d items %zu seconds %.2f pages/s %.0f peakRSS_KB %ld\n", found,
                tree.count(), seconds, found / seconds, ru.ru_maxrss);
    return 0;
}
