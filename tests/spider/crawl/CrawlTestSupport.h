#pragma once
// What the crawl tests share: a reporter that records what the status page
// would show, a readable dump of the tree, and a crawl over a site with the
// window's settings.
#include "Clock.h"
#include "NginxServer.h"
#include "Spider.h"
#include "SpiderReporter.h"
#include "ZoneScope.h"

#include <QDateTime>
#include <QTimeZone>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tessaly::test {

struct RecordingReporter : TSpiderReporter {
    std::string looking;
    std::vector<std::string> found;
    std::vector<int> counts;
    std::vector<std::string> log;
    int events = 0;
    std::function<void()> onEvents;

    void lookingIn(const std::string& a) override { looking = a; }
    void fileFound(const std::string& a) override { found.push_back(a); }
    void fileCount(int c) override { counts.push_back(c); }
    void logLine(const std::string& l) override { log.push_back(l); }
    void letEventsRun() override {
        ++events;
        if (onEvents)
            onEvents();
    }
};

inline std::string Replaced(std::string text, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = text.find(from, at)) != std::string::npos; at += to.size())
        text.replace(at, from.size(), to);
    return text;
}

// One line per item in tree order, indented by level: icon, text, address,
// folder address, "folder" for IsFolder, stamp. base is shown as "P/".
inline std::string DumpTree(const TSiteTree& tree, const std::string& base) {
    std::string out;
    tree.forEachWithLevel([&](TSiteTree::Node& n, int level) {
        const TDataRec& d = n.data;
        std::string line = std::string(2 * level, ' ') + "[" + std::to_string(n.icon) + "] " +
                           d.LinkText + " | " + d.Path() + " | " + d.FolderPath.str() +
                           (d.IsFolder ? " | folder" : "") + " | " + d.LastMod.str() + "\n";
        out += line;
    });
    return base.empty() ? out : Replaced(out, base, "P/");
}

// The zone the stamps are read in, for the time of a test.
class UtcZone : public ZoneScope {
  public:
    UtcZone() : ZoneScope("UTC") {}
};

// The moment the tests' clock stands at, and the stamp of it.
inline QDateTime TestNow() {
    return QDateTime(QDate(2024, 5, 6), QTime(7, 8, 9));
}
inline const char* kNowStamp = "2024-05-06T07:08:09+00:00";

// A site on a real nginx of its own: files by path, "%P%" in a file standing
// for the site's address; each file modified at 2021-03-04 05:06:07 UTC plus
// as many minutes as its place in the map.
class FixtureSite {
  public:
    // Empty text when the site is served, else why not.
    std::string Serve(const std::map<std::string, std::string>& files,
                      const std::string& serverConfig = {}) {
        m_Nginx = std::make_unique<NginxServer>();
        std::string error = m_Nginx->Start(serverConfig);
        if (!error.empty())
            return error;
        int minute = 0;
        for (const auto& [path, text] : files) {
            const QDateTime modified =
                QDateTime(QDate(2021, 3, 4), QTime(5, 6, 7), QTimeZone::utc())
                    .addSecs(60 * minute++);
            const std::string bytes = Replaced(text, "%P%", Url("/"));
            if (!WriteSiteFile(m_Nginx->Site(QString::fromStdString(path)),
                               QByteArray::fromStdString(bytes), modified))
                return "cannot write " + path;
        }
        return {};
    }
    std::string Url(const std::string& path) const { return m_Nginx->Url(path); }
    NginxServer& Server() { return *m_Nginx; }

  private:
    std::unique_ptr<NginxServer> m_Nginx;
};

} // namespace tessaly::test
