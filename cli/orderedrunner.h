#ifndef ORDEREDRUNNER_H
#define ORDEREDRUNNER_H

#include <QString>

#include <functional>

// Runs numbered tasks on a few threads of their own and hands their outcomes
// back to the calling thread in the tasks' order, whatever order they end in.
// Tasks start in order; once one fails no further task starts, and those
// already running finish. Nothing is cancelled halfway.
class OrderedRunner
{
public:
    // Runs task index on worker thread worker (0 .. threads - 1); false and a
    // reason when it failed.
    using Task = std::function<bool(int index, int worker, QString *why)>;
    // On the calling thread, index by index, for every task that ran.
    using Outcome = std::function<void(int index, bool ok, const QString &why)>;
    // On the calling thread now and then while tasks run; gets the first
    // task that has not ended yet.
    using Tick = std::function<void(int running)>;

    OrderedRunner(int threads, int tickMs = 100);

    // Runs tasks 0 .. count - 1. Returns how many of them succeeded.
    int run(int count, const Task &task, const Outcome &outcome, const Tick &tick = Tick());

    // The threads worth using for copies from file to file here.
    static int copyThreads();

private:
    int m_threads;
    int m_tickMs;
};

#endif // ORDEREDRUNNER_H
