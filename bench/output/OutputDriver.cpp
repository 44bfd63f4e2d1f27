// Builds a generated site tree of N items and runs the output as Save does:
// the HTML site map page and the XML sitemap.
//   bench_output N OUTPUT_FOLDER          write sitemap.html and sitemap.xml
//   bench_output N OUTPUT_FOLDER --urls   only write the address list urls.txt
#include "FileRoutines.h"
#include "Folders.h"
#include "MapHtml.h"
#include "OutputRun.h"

#include <QGuiApplication>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

    tessaly::TSiteTree tree;
    tree.beginBulk();
    std::string urls;
    auto item = [](const std::string& text, const std::string& url) {
        tessaly::TDataRec r;
        r.LinkText = text;
        r.LinkURL = url;
        r.FilePath = "/srv/www" + url.substr(std::strlen("http://www.example.com"));
        r.LastMod = "2024-05-01T12:00:00+00:00";
        return r;
    };
    auto* home = tree.addItem(nullptr, item("Home", "http://www.example.com/index.html"), 0);
    urls += "http://www.example.com/index.html\n";
    tessaly::TSiteTree::Node* folder = nullptr;
    for (long i = 1; i < n; ++i) {
        if (i % 50 == 1) {
            std::string name = "section" + std::to_string(i / 50);
            folder =
                tree.addItem(home, item(name, "http://www.example.com/" + name + "/index.html"), 0);
            continue;
        }
        std::string url = "http://www.example.com/section" + std::to_string(i / 50) + "/page" +
                          std::to_string(i) + ".html";
        tree.addItem(folder, item("Page " + std::to_string(i), url), 1);
        urls += url + "\n";
    }
    tree.endBulk();
    if (urlsOnly) {
        tessaly::WriteFileText(urls, out + "urls.txt");
        return 0;
    }
    auto started = std::chrono::steady_clock::now();
    tessaly::TMapProfile profile;
    profile.setWebsite("http://www.example.com/");
    profile.setOutputFileName(out + "sitemap.html");
    profile.setAddImages(false);
    std::string map = tessaly::BuildMapHTML(profile, tree);
    std::string xml;
    tessaly::SaveMapToFile(profile, tree, map, xml);
    double outputSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::fprintf(stderr, "%zu items, output run %.3f s, peak RSS %.1f MB\n", tree.count(),
                 outputSeconds, double(ru.ru_maxrss) / 1024.0);
    return 0;
}
