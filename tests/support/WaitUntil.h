#pragma once
// Runs the event loop until pred holds or ms have passed. Events are handled
// as they arrive; the condition is looked at every few milliseconds.
#include <QEventLoop>
#include <QTimer>
#include <functional>

inline bool WaitUntil(const std::function<bool()>& pred, int ms = 10000) {
    if (pred())
        return true;
    QEventLoop loop;
    QTimer poll;
    QTimer deadline;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (pred())
            loop.quit();
    });
    QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
    deadline.setSingleShot(true);
    poll.start(2);
    deadline.start(ms);
    loop.exec();
    return pred();
}
