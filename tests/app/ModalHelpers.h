#pragma once
// Answers a modal dialog opened by the code under test: fn runs on the next
// modal widget of type T once it is up, from inside its own event loop.
#include <QApplication>
#include <QTimer>
#include <functional>

namespace tessaly::test {

template <class T> void OnModal(std::function<void(T*)> fn, T* except = nullptr) {
    auto* timer = new QTimer;
    timer->setInterval(5);
    auto ticks = std::make_shared<int>(0);
    QObject::connect(timer, &QTimer::timeout, [timer, fn, except, ticks] {
        auto* d = qobject_cast<T*>(QApplication::activeModalWidget());
        // Gives up after a while, so a dialog that never opens fails the test
        // instead of leaving a timer behind.
        if ((d && d != except && d->isVisible()) || ++*ticks > 2000) {
            timer->stop();
            timer->deleteLater();
            if (d && d != except)
                fn(d);
        }
    });
    timer->start();
}

} // namespace tessaly::test
