#include "platform/Thread.h"

#include "platform/RunBeside.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <stdexcept>
#include <thread>

namespace {

using namespace quelvo::platform;

// The owner's event loop, stood in for by a queue the test thread drains.
class TaskQueue {
public:
    HandOverRunner::Poster Poster()
    {
        return [this](HandOverRunner::Task task) {
            {
                std::lock_guard lock(m_mutex);
                m_tasks.push_back(std::move(task));
            }
            m_changed.notify_all();
        };
    }
    // Waits for the next task and runs it.
    void RunOne()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_tasks.empty(); });
        HandOverRunner::Task task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
    }
    void WaitForTask()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_tasks.empty(); });
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<HandOverRunner::Task> m_tasks;
};

class FunctionThread : public Thread {
public:
    explicit FunctionThread(std::function<void(FunctionThread&)> body, std::atomic<bool>* destroyed = nullptr)
        : m_body(std::move(body)), m_destroyed(destroyed)
    {
    }
    ~FunctionThread() override
    {
        if (m_destroyed)
            *m_destroyed = true;
    }
    std::atomic<int> runs{0};
    std::thread::id runThread;

protected:
    void Execute() override
    {
        ++runs;
        runThread = std::this_thread::get_id();
        m_body(*this);
    }

private:
    std::function<void(FunctionThread&)> m_body;
    std::atomic<bool>* m_destroyed;
};

TEST(Thread, shouldRunExecuteOnceOnItsOwnThreadOnlyAfterStart)
{
    FunctionThread thread([](FunctionThread&) {});
    EXPECT_FALSE(thread.Started());
    EXPECT_FALSE(thread.Completion()->Done());
    thread.Start();
    thread.Start();
    thread.WaitFor();
    EXPECT_EQ(thread.runs, 1);
    EXPECT_NE(thread.runThread, std::this_thread::get_id());
    EXPECT_TRUE(thread.Completion()->Done());
}

TEST(Thread, shouldDeleteItselfWhenFreeOnTerminateAndSignalCompletionAfterwards)
{
    std::atomic<bool> destroyed{false};
    auto* thread = new FunctionThread([](FunctionThread&) {}, &destroyed);
    thread->SetFreeOnTerminate(true);
    auto completion = thread->Completion();
    thread->Start();
    completion->Wait();
    EXPECT_TRUE(destroyed);
}

TEST(Thread, shouldKeepExceptionThatEscapedExecute)
{
    FunctionThread thread([](FunctionThread&) { throw std::runtime_error("boom"); });
    thread.Start();
    thread.WaitFor();
    ASSERT_TRUE(thread.FatalException());
    EXPECT_THROW(std::rethrow_exception(thread.FatalException()), std::runtime_error);
}

TEST(Thread, shouldSeeTerminateRequestFromOwner)
{
    FunctionThread thread([](FunctionThread& self) {
        while (!self.Terminated())
            Thread::Pause(1);
    });
    thread.Start();
    EXPECT_FALSE(thread.Completion()->WaitFor(20));
    thread.Terminate();
    thread.WaitFor();
    EXPECT_TRUE(thread.Terminated());
}

TEST(Synchronize, shouldRunInlineOnTheCallingThreadWithoutRunner)
{
    std::thread::id ranOn;
    FunctionThread thread([&](FunctionThread& self) {
        EXPECT_TRUE(self.Synchronize([&] { ranOn = std::this_thread::get_id(); }));
    });
    thread.Start();
    thread.WaitFor();
    EXPECT_EQ(ranOn, thread.runThread);
}

TEST(Synchronize, shouldRunOnOwnerThreadAndWaitForIt)
{
    TaskQueue owner;
    auto runner = std::make_shared<HandOverRunner>(owner.Poster());
    std::vector<std::thread::id> ranOn;
    std::vector<int> order;
    FunctionThread thread([&](FunctionThread& self) {
        for (int i = 0; i < 3; ++i) {
            EXPECT_TRUE(self.Synchronize([&, i] {
                ranOn.push_back(std::this_thread::get_id());
                order.push_back(i);
            }));
            order.push_back(10 + i);  // only after the hand-over returned
        }
    });
    thread.SetHandOverRunner(runner);
    thread.Start();
    for (int i = 0; i < 3; ++i)
        owner.RunOne();
    thread.WaitFor();
    EXPECT_EQ(ranOn, std::vector<std::thread::id>(3, std::this_thread::get_id()));
    EXPECT_EQ(order, (std::vector<int>{0, 10, 1, 11, 2, 12}));
}

TEST(Synchronize, shouldRethrowExceptionOfTheMethodOnTheWaitingThread)
{
    TaskQueue owner;
    auto runner = std::make_shared<HandOverRunner>(owner.Poster());
    bool caught = false;
    FunctionThread thread([&](FunctionThread& self) {
        try {
            self.Synchronize([] { throw std::runtime_error("in handler"); });
        } catch (const std::runtime_error&) {
            caught = true;
        }
    });
    thread.SetHandOverRunner(runner);
    thread.Start();
    owner.RunOne();
    thread.WaitFor();
    EXPECT_TRUE(caught);
}

TEST(Synchronize, shouldRunInlineWhenCalledOnTheOwnerThread)
{
    TaskQueue owner;  // never drained: an inline run must not need it
    HandOverRunner runner(owner.Poster());
    bool ran = false;
    EXPECT_TRUE(runner.Run([&] { ran = true; }));
    EXPECT_TRUE(ran);
}

TEST(Synchronize, shouldReturnWithoutRunningWhenCancelledWhileWaiting)
{
    TaskQueue owner;
    auto runner = std::make_shared<HandOverRunner>(owner.Poster());
    std::atomic<bool> ran{false};
    std::atomic<int> result{-1};
    FunctionThread thread([&](FunctionThread& self) { result = self.Synchronize([&] { ran = true; }); });
    thread.SetHandOverRunner(runner);
    thread.Start();
    owner.WaitForTask();  // the worker is now waiting on the hand-over
    runner->Cancel();
    thread.WaitFor();
    EXPECT_EQ(result, 0);
    owner.RunOne();  // the queued task runs late and finds the runner cancelled
    EXPECT_FALSE(ran);
    EXPECT_TRUE(runner->Cancelled());
    EXPECT_FALSE(runner->Run([&] { ran = true; })) << "later hand-overs return at once";
    EXPECT_FALSE(ran);
}

TEST(Synchronize, shouldLetOwnerCloseWithoutServingHandOvers)
{
    // The closing sequence of a window: cancel, terminate, wait on the latch,
    // all while its own loop serves nothing.
    TaskQueue owner;
    auto runner = std::make_shared<HandOverRunner>(owner.Poster());
    std::atomic<bool> destroyed{false};
    std::atomic<int> handOvers{0};
    auto* thread = new FunctionThread(
        [&](FunctionThread& self) {
            while (!self.Terminated()) {
                self.Synchronize([&] { ++handOvers; });
                Thread::Pause(1);
            }
            self.Synchronize([&] { ++handOvers; });  // the end call still comes
        },
        &destroyed);
    thread->SetFreeOnTerminate(true);
    thread->SetHandOverRunner(runner);
    auto control = thread->Control();  // the thread may be gone when the owner closes
    thread->Start();
    owner.RunOne();
    owner.WaitForTask();
    runner->Cancel();
    control->Terminate();
    ASSERT_TRUE(control->WaitFor(5000)) << "the worker must not wait forever";
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(handOvers, 1);
}

// Two pieces of work at once: both have ended when it returns, and a failure
// of either reaches the caller instead of ending the process.
TEST(RunBeside, shouldWaitForBothAndCarryEitherFailureBack)
{
    std::atomic<bool> sideDone{false};
    const int result = RunBeside([] { return 7; }, [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        sideDone = true;
    });
    EXPECT_EQ(result, 7);
    EXPECT_TRUE(sideDone);

    EXPECT_THROW(RunBeside([] {}, [] { throw std::runtime_error("side"); }), std::runtime_error);
    sideDone = false;
    try {
        RunBeside([] { throw std::logic_error("main"); }, [&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            sideDone = true;
            throw std::runtime_error("side");
        });
        ADD_FAILURE() << "nothing thrown";
    } catch (const std::logic_error&) {
        EXPECT_TRUE(sideDone) << "the side's thread ended before the main failure left";
    }
}

}  // namespace
