#include "signalguard.h"

#include "io/atomicfile.h"

#include <unistd.h>

namespace {

// Signals whose default action ends the process, quietly or with a core.
const int Quiet[] = {SIGHUP, SIGINT, SIGTERM, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM, SIGPROF, SIGIO,
#ifdef SIGPWR
                     SIGPWR,
#endif
#ifdef SIGSTKFLT
                     SIGSTKFLT,
#endif
};
const int Core[] = {SIGQUIT, SIGXCPU, SIGILL, SIGTRAP, SIGABRT, SIGBUS, SIGFPE, SIGSEGV, SIGSYS};

bool leavesCore(int signal)
{
    for (int core : Core) {
        if (core == signal)
            return true;
    }
    return false;
}

extern "C" void stopCut(int signal, siginfo_t *info, void *)
{
    // A write to a pipe whose reader left: the write fails with EPIPE.
    if (signal == SIGPIPE && info && info->si_code <= 0 && info->si_pid == ::getpid())
        return;
    AtomicFile::removeTemporariesNow();
    if (!leavesCore(signal))
        _exit(128 + signal);
    // Raised again with the default action; it arrives as the handler returns
    // (a fault repeats then anyway).
    ::signal(signal, SIG_DFL);
    ::raise(signal);
}

} // namespace

SignalGuard::SignalGuard()
{
    std::vector<int> handled(std::begin(Quiet), std::end(Quiet));
    handled.insert(handled.end(), std::begin(Core), std::end(Core));
#ifdef SIGRTMIN
    for (int s = SIGRTMIN; s <= SIGRTMAX; ++s)
        handled.push_back(s);
#endif
    handled.push_back(SIGXFSZ);

    for (int signal : handled) {
        Saved saved = {signal, {}};
        if (sigaction(signal, nullptr, &saved.action) != 0 || saved.action.sa_handler == SIG_IGN)
            continue;
        struct sigaction action = {};
        sigfillset(&action.sa_mask);
        if (signal == SIGXFSZ) {
            action.sa_handler = SIG_IGN;
        } else {
            action.sa_sigaction = stopCut;
            action.sa_flags = SA_SIGINFO | SA_RESTART;
        }
        if (sigaction(signal, &action, nullptr) == 0)
            m_previous.push_back(saved);
    }
}

SignalGuard::~SignalGuard()
{
    for (const Saved &saved : m_previous)
        sigaction(saved.signal, &saved.action, nullptr);
}
