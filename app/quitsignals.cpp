#include "quitsignals.h"

#include <QSocketNotifier>

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {

const int Signals[] = {SIGTERM, SIGINT, SIGHUP};

// The handler's way to the event loop: it may only write to a descriptor.
int pipeEnds[2] = {-1, -1};
std::atomic<bool> announced{false};
QuitSignals::LastWords lastWords = nullptr;

extern "C" void announce(int signal)
{
    // A second signal: no more waiting for an orderly end.
    if (announced.exchange(true)) {
        if (lastWords)
            lastWords();
        _exit(128 + signal);
    }
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signal);
    // Only the first signal gets here, and an empty pipe takes its byte.
    const ssize_t written = ::write(pipeEnds[1], &byte, 1);
    Q_UNUSED(written)
    errno = saved;
}

} // namespace

QuitSignals::QuitSignals(LastWords words, QObject *parent)
    : QObject(parent)
{
    static_assert(std::atomic<bool>::is_always_lock_free, "the handler needs a lock-free flag");
    lastWords = words;
    announced = false;
    static_assert(sizeof(Signals) / sizeof(Signals[0]) == Count, "one saved action per signal");
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the signals keep their default action
    m_notifier = new QSocketNotifier(pipeEnds[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &QuitSignals::readSignal);
    for (int i = 0; i < Count; ++i) {
        struct sigaction action = {};
        sigfillset(&action.sa_mask);
        action.sa_handler = announce;
        action.sa_flags = SA_RESTART;
        sigaction(Signals[i], nullptr, &m_previous[i]);
        m_installed[i] = m_previous[i].sa_handler != SIG_IGN;
        if (m_installed[i])
            sigaction(Signals[i], &action, nullptr);
    }
}

QuitSignals::~QuitSignals()
{
    for (int i = 0; i < Count; ++i) {
        if (m_installed[i])
            sigaction(Signals[i], &m_previous[i], nullptr);
    }
    delete m_notifier; // before its descriptor goes
    m_notifier = nullptr;
    if (pipeEnds[0] >= 0) {
        ::close(pipeEnds[0]);
        ::close(pipeEnds[1]);
        pipeEnds[0] = pipeEnds[1] = -1;
    }
}

void QuitSignals::readSignal()
{
    unsigned char byte = 0;
    while (::read(pipeEnds[0], &byte, 1) == 1)
        emit received(int(byte));
}
