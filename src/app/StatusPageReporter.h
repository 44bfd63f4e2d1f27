#pragma once
// Shows a search's progress on the status page without redrawing on every
// file: labels and log lines are gathered and shown, and window events run,
// at most every 100 ms. Whatever is gathered is also shown when events run
// elsewhere (while the crawl waits for a page), so the page being fetched is
// in view. It serves the local scan and the crawl alike.
#include "LocalScan.h"
#include "SpiderReporter.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTimer>

class QLabel;
class QPlainTextEdit;

namespace tessaly {

class StatusPageReporter : public TScanReporter, public TSpiderReporter {
  public:
    // echoProblems: problems also go to standard error (unattended runs).
    StatusPageReporter(QLabel* lookingIn, QLabel* fileFound, QLabel* fileCount, QPlainTextEdit* log,
                       bool echoProblems = false);
    ~StatusPageReporter() override;
    void lookingIn(const std::string& folder) override;
    void fileFound(const std::string& path) override;
    void fileCount(int count) override;
    void logLine(const std::string& line) override;
    void problem(const std::string& line) override;
    // The line that says a limit ended the crawl: the log's, and standard
    // error's only unattended.
    void crawlStopped(const std::string& line) override;
    // What the crawl left out of the maps, likewise.
    void crawlLeftOut(const std::string& line) override;
    void letEventsRun() override;
    // Shows everything gathered so far.
    void flush();

  private:
    QLabel* lookingIn_;
    QLabel* fileFound_;
    QLabel* fileCount_;
    QPlainTextEdit* log_;
    std::string folder_, file_;
    int count_ = -1;
    bool changed_ = false;
    bool echoProblems_ = false;
    QStringList lines_;
    QElapsedTimer sinceFlush_;
    QTimer flushTimer_;
};

} // namespace tessaly
