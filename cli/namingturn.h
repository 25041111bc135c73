#ifndef NAMINGTURN_H
#define NAMINGTURN_H

#include <climits>
#include <condition_variable>
#include <mutex>

// Lets pieces written at once take their names in their order: piece n
// waits until pieces 0 .. n - 1 have ended well. Once one has failed, no
// piece after it gets its turn; after stop(), none does.
class NamingTurn
{
public:
    // Blocks until it is index's turn; false when none is coming.
    bool wait(int index);
    // Whether piece index ended well (named) or not; the next may go on.
    void ended(int index, bool ok);
    void stop();

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_next = 0;          // whose turn it is
    int m_limit = INT_MAX;   // the first piece that gets no turn
};

#endif // NAMINGTURN_H
