#include "signalguard.h"

#include "io/atomicfile.h"

#include <unistd.h>

namespace {

const int Signals[] = {SIGINT, SIGTERM, SIGHUP, SIGXFSZ};

extern "C" void stopCut(int signal)
{
    AtomicFile::removeTemporariesNow();
    _exit(128 + signal);
}

} // namespace

SignalGuard::SignalGuard()
{
    static_assert(sizeof(Signals) / sizeof(Signals[0]) == Count, "one saved action per signal");
    for (int i = 0; i < Count; ++i) {
        struct sigaction action = {};
        sigfillset(&action.sa_mask);
        action.sa_handler = Signals[i] == SIGXFSZ ? SIG_IGN : stopCut;
        sigaction(Signals[i], nullptr, &m_previous[i]);
        if (m_previous[i].sa_handler != SIG_IGN)
            sigaction(Signals[i], &action, nullptr);
    }
}

SignalGuard::~SignalGuard()
{
    for (int i = 0; i < Count; ++i)
        sigaction(Signals[i], &m_previous[i], nullptr);
}
