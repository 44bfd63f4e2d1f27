#pragma once

// What the FTP client tests share: a recorder of the client's events and a
// bounded wait on the event loop.

#include "FtpClient.h"
#include "WaitUntil.h"

#include <QByteArray>
#include <QEventLoop>
#include <QTimer>

#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

struct RequestDone {
    TFtpRequest kind;
    int error;
    bool operator==(const RequestDone& o) const { return kind == o.kind && error == o.error; }
};

inline std::ostream& operator<<(std::ostream& os, const RequestDone& d) {
    return os << "{rq " << int(d.kind) << ", error " << d.error << "}";
}

// Records what a client reports; an optional follow-up runs inside
// OnRequestDone, as the upload window drives the client.
struct FtpRecorder {
    std::vector<TFtpState> states;
    std::vector<RequestDone> done;
    std::vector<std::string> display;
    std::function<void(TFtpRequest, int)> next;

    explicit FtpRecorder(TFtpClient& client) {
        client.OnStateChange = [this](TCustomFtpClient* c) { states.push_back(c->State()); };
        client.OnRequestDone = [this](TCustomFtpClient*, TFtpRequest rq, int error) {
            done.push_back({rq, error});
            if (next)
                next(rq, error);
        };
        client.OnDisplay = [this](TCustomFtpClient*, std::string& msg) { display.push_back(msg); };
    }

    // Waits, with the event loop running, until count requests have ended.
    bool WaitDone(size_t count = 1, int ms = 10000) {
        return WaitUntil([&] { return done.size() >= count; }, ms);
    }
    const RequestDone& Last() const { return done.back(); }
    bool Displayed(const std::string& text) const {
        for (const std::string& line : display) {
            if (line == text)
                return true;
        }
        return false;
    }
};

inline QByteArray RandomBytes(size_t size, unsigned seed = 7) {
    std::mt19937 gen(seed);
    QByteArray data(qsizetype(size), '\0');
    for (auto& c : data)
        c = char(gen() & 0xff);
    return data;
}
