#include "data/aside_thread.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <utility>

namespace rio::detail {

namespace {

constexpr auto WaitBetweenCalls = std::chrono::milliseconds(15);

// One thread for the whole program, started when first needed: a run
// commits many times, and one long-lived thread keeps its system calls on
// the same two threads from one run to the next.
class AsideThread
{
public:
    static AsideThread& instance()
    {
        static AsideThread thread;
        return thread;
    }

    void run(const std::function<void()>& work, const std::function<void()>& whileWaiting)
    {
        const std::lock_guard<std::mutex> caller(m_callers);
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { serve(); });
        m_work = &work;
        m_done = false;
        m_posted.notify_one();
        std::exception_ptr waitingFailure;
        while (!m_finished.wait_for(lock, WaitBetweenCalls, [this] { return m_done; })) {
            if (waitingFailure)
                continue;
            lock.unlock();
            try {
                whileWaiting();
            } catch (...) {
                // work is still running on the shared state: wait for it first.
                waitingFailure = std::current_exception();
            }
            lock.lock();
        }
        m_work = nullptr;
        const std::exception_ptr failure = std::exchange(m_failure, nullptr);
        lock.unlock();
        if (failure)
            std::rethrow_exception(failure);
        if (waitingFailure)
            std::rethrow_exception(waitingFailure);
    }

private:
    AsideThread() = default;
    ~AsideThread()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_stop = true;
        }
        m_posted.notify_one();
        if (m_thread.joinable())
            m_thread.join();
    }

    void serve()
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            m_posted.wait(lock, [this] { return m_stop || (m_work && !m_done); });
            if (m_stop)
                return;
            const std::function<void()>* work = m_work;
            lock.unlock();
            std::exception_ptr failure;
            try {
                (*work)();
            } catch (...) {
                failure = std::current_exception();
            }
            lock.lock();
            m_failure = failure;
            m_done = true;
            m_finished.notify_one();
        }
    }

    std::mutex m_callers; // one piece of work at a time
    std::mutex m_mutex;
    std::condition_variable m_posted;
    std::condition_variable m_finished;
    const std::function<void()>* m_work = nullptr;
    bool m_done = false;
    bool m_stop = false;
    std::exception_ptr m_failure;
    std::thread m_thread;
};

thread_local bool t_waiting = false;

} // namespace

void runAside(const std::function<void()>& work, const std::function<void()>& whileWaiting)
{
    if (!whileWaiting || t_waiting) {
        work();
        return;
    }
    t_waiting = true;
    struct Reset
    {
        ~Reset() { t_waiting = false; }
    } reset;
    AsideThread::instance().run(work, whileWaiting);
}

} // namespace rio::detail
