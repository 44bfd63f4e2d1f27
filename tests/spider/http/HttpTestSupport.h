#pragma once

// What the HTTP client tests share: a recorder of the client's events that
// also notes whether each handler ran on the user-interface thread.

#include "HttpClient.h"
#include "HttpStreams.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>

#include <functional>
#include <string>
#include <vector>

struct HttpRecorder {
    std::vector<std::string> events;
    int offUiThread = 0;
    int status = 0;
    std::string body;
    std::int64_t fileSize = -1;
    bool doneHadStream = false;
    std::string contentType;
    std::vector<std::string> redirects;
    std::string rawHeaders;
    TDateTime date = 0, lastModified = 0, expires = 0;
    std::string etag, language, encoding, location;
    std::int64_t headerLength = -1;
    std::vector<std::int64_t> progressRead;
    std::vector<int> progressPercents;
    std::int64_t progressDataSize = 0;
    int progressStreamMismatch = 0;
    // Optional actions inside handlers.
    std::function<void(bool&)> onHeader;
    std::function<void()> onProgress;

    void Note(const std::string& name) {
        events.push_back(name);
        if (QThread::currentThread() != QCoreApplication::instance()->thread())
            ++offUiThread;
    }

    explicit HttpRecorder(THttpClient& c) {
        c.OnHeaderInfo = [this](TCustomHttpClient*, int code, const std::string& raw,
                                const std::string& ct, const std::string& lang,
                                const std::string& enc, std::int64_t len, const std::string& loc,
                                TDateTime d, TDateTime lm, TDateTime ex, const std::string& et,
                                bool& cont) {
            Note("HeaderInfo");
            status = code;
            rawHeaders = raw;
            contentType = ct;
            language = lang;
            encoding = enc;
            headerLength = len;
            location = loc;
            date = d;
            lastModified = lm;
            expires = ex;
            etag = et;
            if (onHeader)
                onHeader(cont);
        };
        c.OnDone = [this](TCustomHttpClient*, const std::string& ct, std::int64_t size,
                          TStream* s) {
            Note("Done");
            contentType = ct;
            fileSize = size;
            doneHadStream = s != nullptr;
            if (s)
                body = s->ReadRest();
        };
        c.OnDoneInterrupted = [this](TCustomHttpClient*) { Note("DoneInterrupted"); };
        c.OnOutputFileError = [this](TCustomHttpClient*) { Note("OutputFileError"); };
        c.OnAnyError = [this](TCustomHttpClient*) { Note("AnyError"); };
        c.OnAborted = [this](TCustomHttpClient*) { Note("Aborted"); };
        c.OnHostUnreachable = [this](TCustomHttpClient*) { Note("HostUnreachable"); };
        c.OnConnLost = [this](TCustomHttpClient*, const std::string&, std::int64_t size,
                              std::int64_t read, TStream* s) {
            Note("ConnLost");
            fileSize = size;
            body = s ? s->ReadRest() : std::string();
            progressRead.push_back(read);
        };
        c.OnHTTPError = [this](TCustomHttpClient*, int code, TStream* s) {
            Note("HTTPError " + std::to_string(code));
            status = code;
            body = s ? s->ReadRest() : std::string();
        };
        c.OnRedirected = [this](TCustomHttpClient*, const std::string& url) {
            Note("Redirected");
            redirects.push_back(url);
        };
        c.OnProgress = [this](TCustomHttpClient*, const std::string&, std::int64_t dataSize,
                              std::int64_t read, std::int64_t, std::int64_t, std::uint8_t percents,
                              float, TStream* s) {
            // Noted apart from the event list: the number of blocks depends
            // on how the bytes arrive.
            if (QThread::currentThread() != QCoreApplication::instance()->thread())
                ++offUiThread;
            progressRead.push_back(read);
            progressPercents.push_back(percents);
            progressDataSize = dataSize;
            // The worker waits while a handler runs: the target does not grow.
            if (s && s->Size() != read)
                ++progressStreamMismatch;
            if (onProgress)
                onProgress();
        };
    }

    // The events of the last transfer have ended with an outcome.
    bool Ended() const {
        static const std::vector<std::string> outcomes = {
            "Done", "ConnLost", "HostUnreachable", "OutputFileError", "DoneInterrupted", "Aborted"};
        if (events.empty())
            return false;
        const std::string& last = events.back();
        return last.rfind("HTTPError", 0) == 0 ||
               std::find(outcomes.begin(), outcomes.end(), last) != outcomes.end();
    }
};

// Waits on the event loop until the recorder has an outcome or ms passed.
inline bool WaitForOutcome(const HttpRecorder& r, int ms = 5000) {
    return QTest::qWaitFor([&] { return r.Ended(); }, ms);
}
