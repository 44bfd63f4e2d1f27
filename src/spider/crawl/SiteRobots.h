#pragma once
// The robots.txt rules of each origin (scheme, host and port) a crawl
// reaches: asked for once per origin, before any page of it is requested,
// and then asked about every address. The crawl's own thread fetches the
// files; the HTTP engine's thread may ask about a redirect's target.
#include "FileFetcher.h"
#include "HttpClient.h"
#include "RobotsRules.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tessaly {

// The answers known so far, shared with the HTTP engine's thread.
class TRobotsTable {
  public:
    // The answer for an address whose origin was asked already; none for
    // one not asked yet. Any thread.
    std::optional<bool> KnownAllows(const std::string& url) const;

  private:
    friend class TSiteRobots;
    mutable std::mutex m_Lock;
    bool m_Obey = true;
    std::map<std::string, std::shared_ptr<const TRobotsRules>> m_Rules;
};

class TSiteRobots {
  public:
    // Forgets every origin; obey false allows everything without asking.
    // The fetcher's settings (agent, cookies, credentials, time-outs) are
    // used for the files.
    void Reset(bool obey, const TFileFetcher& settings);
    // On the crawl's thread: whether the address may be requested, asking
    // its origin for robots.txt first when that was not done yet (events
    // run meanwhile).
    bool Allows(const std::string& url);
    std::optional<bool> KnownAllows(const std::string& url) const {
        return m_Table->KnownAllows(url);
    }
    const std::shared_ptr<TRobotsTable>& Table() const { return m_Table; }
    // Why the robots.txt of the address's origin could not be read ("HTTP
    // 503", "no answer from the host"); empty when it was, or not asked.
    std::string FailureOf(const std::string& url) const;
    // Ends a robots.txt request that runs.
    void Cancel();
    // Lines for the crawl's log: a file that could not be read, and the
    // sitemaps a file lists.
    std::function<void(const std::string& line)> OnLog;

    // The origin of an address ("http://host:8080", scheme and host in lower
    // case, a default port left out) and the path and query it requests;
    // false for an address that is not http or https.
    static bool SplitAddress(const std::string& url, std::string& origin, std::string& target);

  private:
    std::shared_ptr<const TRobotsRules> Fetch(const std::string& origin, std::string& failure);

    std::string m_Token;
    const TFileFetcher* m_Settings = nullptr;
    std::unique_ptr<THttpClient> m_Client;
    std::shared_ptr<TRobotsTable> m_Table = std::make_shared<TRobotsTable>();
    // By origin, on the crawl's thread only.
    std::map<std::string, std::string> m_Failures;
};

} // namespace tessaly
