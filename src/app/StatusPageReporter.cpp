#include "StatusPageReporter.h"

#include "TextConv.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <cstdio>

namespace tessaly {

namespace {
constexpr int kIntervalMs = 100;
}

StatusPageReporter::StatusPageReporter(QLabel* lookingIn, QLabel* fileFound, QLabel* fileCount,
                                       QPlainTextEdit* log, bool echoProblems)
    : lookingIn_(lookingIn), fileFound_(fileFound), fileCount_(fileCount), log_(log),
      echoProblems_(echoProblems) {
    sinceFlush_.start();
    flushTimer_.setInterval(kIntervalMs);
    QObject::connect(&flushTimer_, &QTimer::timeout, [this] { flush(); });
    flushTimer_.start();
}

StatusPageReporter::~StatusPageReporter() {
    flush();
}

void StatusPageReporter::lookingIn(const std::string& folder) {
    folder_ = folder;
    changed_ = true;
}

void StatusPageReporter::fileFound(const std::string& path) {
    file_ = path;
    changed_ = true;
}

void StatusPageReporter::fileCount(int count) {
    count_ = count;
    changed_ = true;
}

void StatusPageReporter::problem(const std::string& line) {
    if (echoProblems_)
        std::fprintf(stderr, "%s\n", line.c_str());
    logLine(line);
}

void StatusPageReporter::crawlStopped(const std::string& line) {
    problem(line);
}

void StatusPageReporter::crawlLeftOut(const std::string& line) {
    problem(line);
}

void StatusPageReporter::logLine(const std::string& line) {
    lines_ << qs(line);
}

void StatusPageReporter::letEventsRun() {
    if (sinceFlush_.elapsed() < kIntervalMs)
        return;
    flush();
    QCoreApplication::processEvents();
    sinceFlush_.restart();
}

void StatusPageReporter::flush() {
    if (changed_) {
        lookingIn_->setText(qs(folder_));
        fileFound_->setText(qs(file_));
        if (count_ >= 0)
            fileCount_->setText(QString::number(count_));
        changed_ = false;
    }
    if (!lines_.isEmpty()) {
        log_->appendPlainText(lines_.join('\n'));
        lines_.clear();
    }
}

} // namespace tessaly
