// Crawls a site as the search step does, without a window, writes its XML
// sitemap and prints the counts, the time and the peak memory:
//   bench_spider START_ADDRESS SITEMAP_XML [FETCH_AHEAD]
#include "Spider.h"
#include "SpiderReporter.h"
#include "XmlSitemap.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <cstdlib>
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
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: %s START_ADDRESS SITEMAP_XML [FETCH_AHEAD]\n", argv[0]);
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
        if (argc == 4)
            spider.SetFetchAhead(std::atoi(argv[3]));
        spider.RunSpider(argv[1]);
        if (!spider.StartPageError().empty()) {
            std::fprintf(stderr, "%s\n", spider.StartPageError().c_str());
            return 1;
        }
    }
    tree.endBulk();
    const double seconds = double(timer.elapsed()) / 1000.0;
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const long crawlPeak = ru.ru_maxrss;
    // The sitemap goes to its file in pieces, as the output run writes it.
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out)
        return 1;
    // One file whatever its size, so the coverage check reads one list.
    tessaly::WriteGoogleSiteMapBytes(
        tree, [out](std::string_view bytes) { std::fwrite(bytes.data(), 1, bytes.size(), out); },
        tessaly::SitemapFormat{});
    std::fclose(out);
    std::printf("pages %d items %zu seconds %.2f pages/s %.0f peakRSS_KB %ld\n", found,
                tree.count(), seconds, found / seconds, crawlPeak);
    return 0;
}
