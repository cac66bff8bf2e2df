#pragma once

// The system's thread class: created suspended, started once, optionally
// freeing itself when its run ends, with a millisecond pause and a blocking
// hand-over (Synchronize) to the thread that owns it.
//
// Closing while a thread runs: the owner cancels the hand-over runner (so a
// waiting or later hand-over returns without running its method), then, through
// the ThreadControl it took before Start, asks the thread to terminate and
// waits for its end. None of these blocks on the other thread.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace quelvo::platform {

// Signalled once a thread's run is over (and, for a free-on-terminate thread,
// after the object was deleted). Shared, so it outlives the thread object.
class ThreadCompletion {
public:
    void Wait() const;
    // False when the time ran out first.
    bool WaitFor(std::uint32_t milliseconds) const;
    bool Done() const;

private:
    friend class Thread;
    void Signal();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    bool m_done = false;
};

// The owner's hold on a thread that may free itself: a stop request and the
// wait for the end, both safe to use whether or not the thread object still
// exists. Take it with Thread::Control() before Start.
class ThreadControl : public ThreadCompletion {
public:
    void Terminate() { m_terminated = true; }
    bool Terminated() const { return m_terminated; }

private:
    std::atomic<bool> m_terminated{false};
};

// Runs hand-overs on the owner's thread. The owner gives a poster that queues
// a task on its event loop and returns at once (in the window:
// QMetaObject::invokeMethod(context, task, Qt::QueuedConnection)); Run then
// waits until the task has run the method, or until Cancel. Without a
// poster, and when called on the thread that created the runner (the owner's),
// Run calls the method inline.
class HandOverRunner {
public:
    using Task = std::function<void()>;
    using Poster = std::function<void(Task)>;

    explicit HandOverRunner(Poster poster = {});

    // Runs method on the owner's thread and returns when it has returned;
    // an exception it throws is thrown again here. False, with the method not
    // run, when the runner is or becomes cancelled.
    bool Run(const std::function<void()>& method);

    // Wakes every waiting Run and makes later ones return false at once.
    // Called on the owner's thread, it also guarantees that no method runs
    // after it returns: a task still queued then finds the runner cancelled.
    void Cancel();
    bool Cancelled() const;

private:
    struct Shared;
    Poster m_poster;
    std::thread::id m_owner;
    std::shared_ptr<Shared> m_shared;
};

class Thread {
public:
    // Created suspended; Start runs Execute on a new thread.
    Thread();
    virtual ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts the run; a second call does nothing. With FreeOnTerminate set,
    // the object deletes itself after Execute returns, so the caller must not
    // touch it after Start except from within the run's own callbacks.
    void Start();
    bool Started() const;

    void SetFreeOnTerminate(bool free);
    bool FreeOnTerminate() const;

    // A stop request that Execute looks at when it can.
    void Terminate();
    bool Terminated() const;

    // Take these before Start when the thread frees itself. Both are the
    // same shared object.
    std::shared_ptr<ThreadControl> Control() const;
    std::shared_ptr<const ThreadCompletion> Completion() const;

    // Waits for the end of a thread that does not free itself.
    void WaitFor() const;

    // The runner of Synchronize; set it before Start. Without one,
    // Synchronize runs the method inline.
    void SetHandOverRunner(std::shared_ptr<HandOverRunner> runner);

    // Runs method on the owner's thread and waits for it (see HandOverRunner::Run).
    bool Synchronize(const std::function<void()>& method);

    // An exception that escaped Execute, for a thread that does not free itself.
    std::exception_ptr FatalException() const;

    // Pauses the calling thread.
    static void Pause(std::uint32_t milliseconds);

protected:
    virtual void Execute() = 0;

private:
    void Run();

    std::atomic<bool> m_started{false};
    std::atomic<bool> m_freeOnTerminate{false};
    std::shared_ptr<ThreadControl> m_control = std::make_shared<ThreadControl>();
    std::shared_ptr<HandOverRunner> m_runner;
    std::exception_ptr m_fatal;
};

}  // namespace quelvo::platform
