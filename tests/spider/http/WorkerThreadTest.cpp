// The worker thread: procedures handed to the user-interface thread, the
// order of error and end procedures, waiting, priorities, runs one after
// another and runs given up.

#include "WorkerThread.h"

#include <QCoreApplication>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <sched.h>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <thread>
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

TEST(WorkerThread, Priority_IsAppliedToTheThreadOfEachRun) {
    TCustomWorkerThread worker;
    errno = 0;
    const int base = ::getpriority(PRIO_PROCESS, 0);
    auto nice = [] {
        return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)));
    };
    int seen = 1000;
    int seenAfterChange = 1000;
    int seenPolicy = -1;
    bool changeWhileRunning = false;
    worker.OnExecute = [&](TEventWorkerThread& t) {
        seen = nice();
        seenPolicy = ::sched_getscheduler(0);
        if (changeWhileRunning)
            t.RunInUIThread([&] { worker.SetPriority(tpLower); });
        seenAfterChange = nice();
    };
    // Runs one after another on one component: each starts at its own
    // priority whatever the one before it had, higher or lower. Workers at
    // normal priority and below do not preempt the threads they wake beside.
    struct Case {
        TThreadPriority priority;
        int nice;
        bool changeWhileRunning;
    };
    const Case cases[] = {
        {tpLowest, base + 10, false}, {tpNormal, base, false}, {tpIdle, 19, false},
        {tpLower, base + 5, false},   {tpNormal, base, true},  {tpNormal, base, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "priority " << c.priority);
        changeWhileRunning = c.changeWhileRunning;
        worker.SetPriority(c.priority);
        EXPECT_EQ(worker.Priority(), c.priority);
        ASSERT_TRUE(worker.Start(nullptr, true, 0));
        EXPECT_EQ(seen, std::min(c.nice, 19));
        EXPECT_EQ(seenAfterChange, c.changeWhileRunning ? std::min(base + 5, 19) : seen);
        EXPECT_EQ(seenPolicy, SCHED_BATCH);
    }
    // Above normal the usual wake-up rules hold (the nice value a user may
    // lack the right to raise is not looked at here), and back at normal the
    // worker defers again.
    for (const TThreadPriority priority : {tpHigher, tpNormal}) {
        SCOPED_TRACE(testing::Message() << "priority " << priority);
        worker.SetPriority(priority);
        ASSERT_TRUE(worker.Start(nullptr, true, 0));
        EXPECT_EQ(seenPolicy, priority == tpHigher ? SCHED_OTHER : SCHED_BATCH);
    }
    worker.SetPriority(static_cast<TThreadPriority>(42));
    EXPECT_EQ(worker.Priority(), tpNormal);
}

TEST(WorkerThread, RunsInARow_EachRunsOnceWithItsContextAndEnd) {
    TCustomWorkerThread worker;
    std::vector<std::string> log;
    auto number = [](TEventWorkerThread& t) { return *std::static_pointer_cast<int>(t.Context); };
    worker.OnExecute = [&](TEventWorkerThread& t) {
        const int n = number(t);
        t.RunInUIThread([&] { log.push_back("run " + std::to_string(n)); });
    };
    worker.OnFinish = [&](TEventWorkerThread& t) {
        const int n = number(t);
        log.push_back("end " + std::to_string(n));
        // An end procedure may start the next run itself, even waiting for it.
        if (n == 20) {
            EXPECT_TRUE(worker.Start(std::make_shared<int>(21), true, 0));
        }
    };
    std::vector<std::string> expected;
    for (int n = 1; n <= 20; ++n) {
        const bool wait = n % 2 == 0;
        ASSERT_TRUE(worker.Start(std::make_shared<int>(n), wait, 0));
        if (!wait) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !worker.Running(); }, 2000));
        }
        expected.push_back("run " + std::to_string(n));
        expected.push_back("end " + std::to_string(n));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.size() == expected.size() + 2; }, 2000));
    expected.push_back("run 21");
    expected.push_back("end 21");
    EXPECT_EQ(log, expected);
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

// A run given up while its thread is still caught in a call (a kill, or a
// wait that ran out) must not hold up the next run, which gets a thread of
// its own; the given-up run hands nothing over once it comes back.
TEST(WorkerThread, NextRunAfterAGivenUpOne_DoesNotWaitForIt) {
    for (const bool byWaitTimeout : {false, true}) {
        SCOPED_TRACE(byWaitTimeout ? "wait ran out" : "killed");
        TCustomWorkerThread worker;
        std::atomic<bool> started{false};
        std::atomic<bool> release{false};
        std::atomic<bool> handedOverLate{false};
        std::vector<int> ended;
        // A failed check must not leave the first run caught for good.
        struct Release {
            std::atomic<bool>& flag;
            ~Release() { flag = true; }
        } releaseOnExit{release};
        worker.OnExecute = [&](TEventWorkerThread& t) {
            if (*std::static_pointer_cast<int>(t.Context) != 1)
                return;
            started = true;
            while (!release)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            handedOverLate = t.RunInUIThread([] {});
        };
        worker.OnFinish = [&](TEventWorkerThread& t) {
            ended.push_back(*std::static_pointer_cast<int>(t.Context));
        };
        int timeouts = 0;
        worker.OnWaitTimeout = [&](bool&) { ++timeouts; };
        if (byWaitTimeout) {
            EXPECT_FALSE(worker.Start(std::make_shared<int>(1), true, 50));
            EXPECT_EQ(timeouts, 1);
        } else {
            ASSERT_TRUE(worker.Start(std::make_shared<int>(1), false, 0));
            ASSERT_TRUE(QTest::qWaitFor([&] { return started.load(); }, 2000));
            worker.Kill();
        }
        EXPECT_FALSE(worker.Running());
        ASSERT_TRUE(worker.Start(std::make_shared<int>(2), false, 0));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !ended.empty(); }, 2000));
        release = true;
        ASSERT_TRUE(worker.Start(std::make_shared<int>(3), true, 0));
        worker.Shutdown();
        EXPECT_FALSE(handedOverLate);
        EXPECT_EQ(ended, (std::vector<int>{2, 3}));
    }
}

TEST(WorkerThread, Destruction_WithTheThreadIdleOrTheEndStillQueued) {
    for (const bool endQueued : {false, true}) {
        SCOPED_TRACE(endQueued ? "end procedure still queued" : "idle");
        std::atomic<bool> executed{false};
        bool ended = false;
        {
            TCustomWorkerThread worker;
            worker.OnExecute = [&](TEventWorkerThread&) { executed = true; };
            worker.OnFinish = [&](TEventWorkerThread&) { ended = true; };
            ASSERT_TRUE(worker.Start(nullptr, false, 0));
            if (endQueued) {
                // No events run: the end procedure stays in the queue.
                while (!executed)
                    std::this_thread::sleep_for(std::chrono::milliseconds(1));
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            } else {
                ASSERT_TRUE(QTest::qWaitFor([&] { return !worker.Running(); }, 2000));
            }
        }
        // Nothing of the destroyed component is left to run.
        QCoreApplication::processEvents();
        EXPECT_EQ(ended, !endQueued);
    }
}
