// The worker thread: procedures handed to the user-interface thread, the
// order of error and end procedures, waiting, and priorities.

#include "WorkerThread.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

TEST(WorkerThread, ProceduresRunOnTheUiThreadWhileTheWorkerWaits) {
    TCustomWorkerThread worker;
    std::vector<std::string> log;
    int counter = 0;
    int seenAfter = -1;
    bool onUi = true;
    worker.OnExecute = [&](TEventWorkerThread& t) {
        t.RunInUIThread([&] {
            onUi = onUi && QThread::currentThread() == QCoreApplication::instance()->thread();
            counter = 41;
        });
        seenAfter = counter + 1; // the procedure has returned by now
        throw std::runtime_error("job failed");
    };
    worker.OnError = [&](TEventWorkerThread&, std::exception_ptr) { log.push_back("error"); };
    worker.OnFinish = [&](TEventWorkerThread&) {
        onUi = onUi && QThread::currentThread() == QCoreApplication::instance()->thread();
        log.push_back("finish");
    };
    ASSERT_TRUE(worker.Start(nullptr, true, 0));
    EXPECT_EQ(seenAfter, 42);
    EXPECT_TRUE(onUi);
    EXPECT_EQ(log, (std::vector<std::string>{"error", "finish"}));
    EXPECT_FALSE(worker.Running());
}

TEST(WorkerThread, Priority_IsAppliedToTheWorker) {
    TCustomWorkerThread worker;
    errno = 0;
    const int base = ::getpriority(PRIO_PROCESS, 0);
    int seen = 1000;
    worker.OnExecute = [&](TEventWorkerThread&) {
        seen = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    };
    worker.SetPriority(tpLowest);
    EXPECT_EQ(worker.Priority(), tpLowest);
    ASSERT_TRUE(worker.Start(nullptr, true, 0));
    EXPECT_EQ(seen, std::min(base + 10, 19));
    worker.SetPriority(static_cast<TThreadPriority>(42));
    EXPECT_EQ(worker.Priority(), tpNormal);
}

TEST(WorkerThread, KilledWorker_HandsNothingOverAndStops) {
    TCustomWorkerThread worker;
    std::atomic<bool> started{false};
    bool ranAfterKill = false;
    bool finished = false;
    worker.OnExecute = [&](TEventWorkerThread& t) {
        started = true;
        while (!t.StopRequested())
            std::this_thread::yield();
        ranAfterKill = t.RunInUIThread([] {});
    };
    worker.OnFinish = [&](TEventWorkerThread&) { finished = true; };
    ASSERT_TRUE(worker.Start(nullptr, false, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 2000));
    EXPECT_TRUE(worker.Running());
    worker.Kill();
    EXPECT_FALSE(worker.Running());
    worker.Shutdown();
    EXPECT_FALSE(ranAfterKill);
    EXPECT_FALSE(finished);
}
