#pragma once
// Where the crawl shows its progress (the status page, an unattended run's
// output, a test's record). The crawl calls letEventsRun at its fixed points
// so the window stays alive and Cancel can be pressed.
#include <cstdio>
#include <string>

namespace tessaly {

class TSpiderReporter {
  public:
    virtual ~TSpiderReporter() = default;
    // The start address.
    virtual void lookingIn(const std::string& address) = 0;
    // The address being fetched.
    virtual void fileFound(const std::string& address) = 0;
    virtual void fileCount(int count) = 0;
    // A line of the running log.
    virtual void logLine(const std::string& line) = 0;
    virtual void letEventsRun() = 0;
    // A limit ended the crawl ("Stopped at the page limit (5,000,000)"): a
    // line of the log, and of standard error, where an unattended run says
    // how it went.
    virtual void crawlStopped(const std::string& line) {
        logLine(line);
        std::fprintf(stderr, "%s\n", line.c_str());
    }
    // At the end of a search that left pages out, what it left out ("Left
    // out: 12 blocked by robots.txt, 3 noindex, 5 canonical elsewhere"): a
    // line of the log, and of standard error.
    virtual void crawlLeftOut(const std::string& line) {
        logLine(line);
        std::fprintf(stderr, "%s\n", line.c_str());
    }
};

} // namespace tessaly
