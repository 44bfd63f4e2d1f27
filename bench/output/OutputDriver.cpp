// Builds a generated site tree of N items and runs the output as Save does:
// the HTML site map page and the XML sitemap.
//   bench_output N OUTPUT_FOLDER          write sitemap.html and sitemap.xml
//   bench_output N OUTPUT_FOLDER --urls   only write the address list urls.txt
//   bench_output N OUTPUT_FOLDER --sitemap
//                                         only write the XML sitemap, as Save
//                                         does from the tree it holds, and print
//                                         the seconds that took
// With SERIAL set in the environment the sitemap is written after the page
// instead of alongside it.
#include "FileRoutines.h"
#include "Folders.h"
#include "MapHtml.h"
#include "OutputRun.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s N OUTPUT_FOLDER [--urls]\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const long n = std::atol(argv[1]);
    const std::string out = tessaly::AddBackslash(argv[2]);
    const bool urlsOnly = argc > 3 && std::strcmp(argv[3], "--urls") == 0;
    const bool sitemapOnly = argc > 3 && std::strcmp(argv[3], "--sitemap") == 0;

    const auto buildStarted = std::chrono::steady_clock::now();
    auto tree = std::make_unique<tessaly::TSiteTree>();
    tree->beginBulk();
    std::string urls;
    const std::string site = "http://www.example.com";
    auto item = [&site](std::string text, std::string url) {
        tessaly::TDataRec r;
        r.LinkText = std::move(text);
        r.FilePath = "/srv/www";
        r.FilePath.append(url, site.size());
        r.LinkURL = url; // an exact copy, as the scan makes it
        r.LastMod = "2024-05-01T12:00:00+00:00";
        return r;
    };
    auto* home = tree->addItem(nullptr, item("Home", site + "/index.html"), 0);
    urls += site + "/index.html\n";
    tessaly::TSiteTree::Node* folder = nullptr;
    std::string section;
    for (long i = 1; i < n; ++i) {
        if (i % 50 == 1) {
            section = "section" + std::to_string(i / 50);
            folder = tree->addItem(home, item(section, site + "/" + section + "/index.html"), 0);
            continue;
        }
        std::string number = std::to_string(i);
        std::string url = site;
        url += '/';
        url += section;
        url += "/page";
        url += number;
        url += ".html";
        if (urlsOnly) // the list is the other tool's input, not part of the timed run
            urls += url + "\n";
        tree->addItem(folder, item("Page " + number, std::move(url)), 1);
    }
    tree->endBulk();
    const double buildSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - buildStarted).count();
    if (urlsOnly) {
        tessaly::WriteFileText(urls, out + "urls.txt");
        return 0;
    }
    auto started = std::chrono::steady_clock::now();
    tessaly::TMapProfile profile;
    profile.setWebsite("http://www.example.com/");
    profile.setOutputFileName(out + "sitemap.html");
    profile.setAddImages(false);
    if (sitemapOnly) {
        std::vector<std::string> files;
        tessaly::SitemapJob(profile, *tree).finish(files);
        const double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        std::printf("%.4f\n", seconds);
        std::fprintf(stderr, "%zu items: tree built in %.3f s, sitemap written in %.3f s\n",
                     tree->count(), buildSeconds, seconds);
        std::fflush(stdout);
        std::_Exit(0); // the tree's freeing is not part of the measure
    }
    // As the window does: the sitemap is written alongside the map.
    std::optional<tessaly::SitemapJob> sitemap;
    if (!std::getenv("SERIAL"))
        sitemap.emplace(profile, *tree);
    std::string map = tessaly::BuildMapHTML(profile, *tree);
    std::vector<std::string> xml;
    tessaly::SaveMapToFile(profile, *tree, map, xml, sitemap ? &*sitemap : nullptr);
    double outputSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    const std::size_t items = tree->count();
    const auto freeStarted = std::chrono::steady_clock::now();
    tree.reset();
    const double freeSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - freeStarted).count();
    std::fprintf(stderr,
                 "%zu items: tree built in %.3f s, output run %.3f s, tree freed in %.3f s, peak "
                 "RSS %.1f MB\n",
                 items, buildSeconds, outputSeconds, freeSeconds, double(ru.ru_maxrss) / 1024.0);
    return 0;
}
