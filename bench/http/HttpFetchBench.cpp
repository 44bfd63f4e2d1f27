// http_fetch_bench URL_LIST [--no-header-event]
// Fetches every address of URL_LIST (one a line) one after another through
// the HTTP client, the way the page fetcher does: start without waiting, let
// events run until the outcome event. Prints pages, bytes and seconds;
// exits non-zero when any page failed.

#include "HttpClient.h"
#include "HttpStreams.h"

#include <QCoreApplication>
#include <QEventLoop>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s URL_LIST [--no-header-event]\n", argv[0]);
        return 2;
    }
    std::vector<std::string> urls;
    std::ifstream list(argv[1]);
    for (std::string line; std::getline(list, line);)
        if (!line.empty())
            urls.push_back(line);

    THttpClient client;
    client.SetAgent("");
    client.SetCacheOptions(SetOf(coAlwaysReload, coReloadIfNoExpireInformation,
                                 coReloadUpdatedObjects, coPragmaNoCache, coNoCacheWrite,
                                 coCreateTempFilesIfCantCache));
    QEventLoop loop;
    long long bytes = 0;
    int failures = 0;
    std::string body;
    // The page fetcher always handles the header event; without it one
    // hand-over per page is saved (--no-header-event shows what it costs).
    if (!(argc > 2 && std::string(argv[2]) == "--no-header-event"))
        client.OnHeaderInfo = [](TCustomHttpClient*, int, const std::string&, const std::string&,
                                 const std::string&, const std::string&, std::int64_t,
                                 const std::string&, TDateTime, TDateTime, TDateTime,
                                 const std::string&, bool&) {};
    client.OnDone = [&](TCustomHttpClient*, const std::string&, std::int64_t size, TStream* s) {
        bytes += size;
        body = s ? s->ReadRest() : std::string();
        loop.quit();
    };
    auto failed = [&](TCustomHttpClient* c) {
        ++failures;
        std::fprintf(stderr, "failed: %s (status %d)\n", c->URL().c_str(), c->HTTPStatus());
        loop.quit();
    };
    client.OnHostUnreachable = failed;
    client.OnAborted = failed;
    client.OnDoneInterrupted = failed;
    client.OnOutputFileError = failed;
    client.OnConnLost = [&](TCustomHttpClient* c, const std::string&, std::int64_t, std::int64_t,
                            TStream*) { failed(c); };
    client.OnHTTPError = [&](TCustomHttpClient* c, int, TStream*) { failed(c); };

    const auto start = std::chrono::steady_clock::now();
    for (const auto& url : urls) {
        client.SetURL(url);
        if (!client.BeginDownload()) {
            std::fprintf(stderr, "refused: %s\n", url.c_str());
            return 1;
        }
        loop.exec();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("pages %zu bytes %lld seconds %.3f pages_per_second %.1f\n", urls.size(), bytes,
                seconds, urls.size() / seconds);
    return failures == 0 ? 0 : 1;
}
