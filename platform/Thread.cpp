#include "platform/Thread.h"

#include <chrono>

namespace quelvo::platform {

void ThreadCompletion::Wait() const
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [this] { return m_done; });
}

bool ThreadCompletion::WaitFor(std::uint32_t milliseconds) const
{
    std::unique_lock lock(m_mutex);
    return m_changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_done; });
}

bool ThreadCompletion::Done() const
{
    std::lock_guard lock(m_mutex);
    return m_done;
}

void ThreadCompletion::Signal()
{
    {
        std::lock_guard lock(m_mutex);
        m_done = true;
    }
    m_changed.notify_all();
}

// State shared by the runner and its queued tasks, so that a task that runs
// late (after the waiting thread gave up) touches nothing that is gone.
struct HandOverRunner::Shared {
    std::mutex mutex;
    std::condition_variable changed;
    bool cancelled = false;
};

namespace {
struct Call {
    std::function<void()> method;
    bool finished = false;
    std::exception_ptr error;
};
}  // namespace

HandOverRunner::HandOverRunner(Poster poster)
    : m_poster(std::move(poster)), m_owner(std::this_thread::get_id()), m_shared(std::make_shared<Shared>())
{
}

bool HandOverRunner::Run(const std::function<void()>& method)
{
    if (!m_poster || std::this_thread::get_id() == m_owner) {
        if (Cancelled())
            return false;
        method();
        return true;
    }
    auto call = std::make_shared<Call>();
    call->method = method;
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->cancelled)
            return false;
    }
    m_poster([shared = m_shared, call] {
        {
            std::lock_guard lock(shared->mutex);
            if (shared->cancelled)
                return;
        }
        try {
            call->method();
        } catch (...) {
            call->error = std::current_exception();
        }
        {
            std::lock_guard lock(shared->mutex);
            call->finished = true;
        }
        shared->changed.notify_all();
    });
    std::unique_lock lock(m_shared->mutex);
    m_shared->changed.wait(lock, [&] { return call->finished || m_shared->cancelled; });
    if (!call->finished)
        return false;
    if (call->error)
        std::rethrow_exception(call->error);
    return true;
}

void HandOverRunner::Cancel()
{
    {
        std::lock_guard lock(m_shared->mutex);
        m_shared->cancelled = true;
    }
    m_shared->changed.notify_all();
}

bool HandOverRunner::Cancelled() const
{
    std::lock_guard lock(m_shared->mutex);
    return m_shared->cancelled;
}

Thread::Thread() = default;

Thread::~Thread()
{
    // A started thread that does not free itself is waited for, so that the
    // run never outlives its object.
    if (m_started && !m_freeOnTerminate)
        m_control->Wait();
}

void Thread::Start()
{
    if (m_started.exchange(true))
        return;
    // Detached: the run ends by itself, and the completion latch stands in
    // for join (a free-on-terminate object is gone by then).
    std::thread([this] { Run(); }).detach();
}

void Thread::Run()
{
    std::shared_ptr<ThreadControl> control = m_control;
    try {
        Execute();
    } catch (...) {
        m_fatal = std::current_exception();
    }
    if (m_freeOnTerminate)
        delete this;
    control->Signal();
}

bool Thread::Started() const
{
    return m_started;
}

void Thread::SetFreeOnTerminate(bool free)
{
    m_freeOnTerminate = free;
}

bool Thread::FreeOnTerminate() const
{
    return m_freeOnTerminate;
}

void Thread::Terminate()
{
    m_control->Terminate();
}

bool Thread::Terminated() const
{
    return m_control->Terminated();
}

std::shared_ptr<ThreadControl> Thread::Control() const
{
    return m_control;
}

std::shared_ptr<const ThreadCompletion> Thread::Completion() const
{
    return m_control;
}

void Thread::WaitFor() const
{
    if (m_started)
        m_control->Wait();
}

void Thread::SetHandOverRunner(std::shared_ptr<HandOverRunner> runner)
{
    m_runner = std::move(runner);
}

bool Thread::Synchronize(const std::function<void()>& method)
{
    if (!m_runner) {
        method();
        return true;
    }
    return m_runner->Run(method);
}

std::exception_ptr Thread::FatalException() const
{
    return m_fatal;
}

void Thread::Pause(std::uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace quelvo::platform
