#include "orderedrunner.h"

#include <QThread>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace {

struct Result
{
    bool done = false;
    bool ok = false;
    QString why;
};

} // namespace

OrderedRunner::OrderedRunner(int threads, int tickMs)
    : m_threads(std::max(1, threads))
    , m_tickMs(std::max(1, tickMs))
{
}

int OrderedRunner::copyThreads()
{
    // The kernel copies a file's pages on the thread that asks; two copies
    // at once keep two cores busy, and more gain little over the memory bus.
    return std::clamp(QThread::idealThreadCount(), 1, 2);
}

int OrderedRunner::run(int count, const Task &task, const Outcome &outcome, const Tick &tick)
{
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<Result> results(size_t(std::max(0, count)));
    int next = 0; // the next task to start
    bool stopped = false;

    auto work = [&](int worker) {
        std::unique_lock<std::mutex> lock(mutex);
        while (!stopped && next < count) {
            const int index = next++;
            lock.unlock();
            QString why;
            const bool ok = task(index, worker, &why);
            lock.lock();
            results[size_t(index)] = {true, ok, why};
            if (!ok)
                stopped = true;
            changed.notify_all();
        }
    };

    std::vector<std::thread> threads;
    const int workers = std::min(m_threads, count);
    for (int worker = 0; worker < workers; ++worker)
        threads.emplace_back(work, worker);

    // Outcomes go out in order as soon as the ones before them are out. A
    // task that started always ends, and none starts past `next`.
    int reported = 0;
    int succeeded = 0;
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        while (reported < next && results[size_t(reported)].done) {
            const Result result = results[size_t(reported)];
            lock.unlock();
            succeeded += result.ok ? 1 : 0;
            outcome(reported, result.ok, result.why);
            lock.lock();
            ++reported;
        }
        if (reported == next && (stopped || next == count))
            break;
        changed.wait_for(lock, std::chrono::milliseconds(m_tickMs));
        if (tick) {
            lock.unlock();
            tick(reported);
            lock.lock();
        }
    }
    lock.unlock();
    for (std::thread &thread : threads)
        thread.join();
    return succeeded;
}
