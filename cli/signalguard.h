#ifndef SIGNALGUARD_H
#define SIGNALGUARD_H

#include <csignal>
#include <vector>

// While it lives, a signal that ends the process takes the unfinished output
// with it: the handler removes the temporary files being written
// (AtomicFile::removeTemporariesNow) and then ends the process. Signals whose
// default is to end it quietly (SIGINT, SIGTERM, SIGHUP, SIGUSR1, SIGALRM,
// the real-time ones and the like) end it with 128 + the signal's number, as
// a shell reports a killed command; those that leave a core (SIGQUIT,
// SIGXCPU, SIGSEGV, SIGABRT, ...) are raised again with their default
// action, so the core and the cause stay what they were.
//
// A signal that was ignored when the guard was made (nohup, a background
// job) stays ignored. SIGXFSZ is ignored, so that a file-size limit makes
// the write fail with EFBIG and the cut fail the ordinary way, with its
// message. SIGPIPE from a write of this process to a reader that went away
// is ignored too: the write fails with EPIPE and the caller ends the job
// cleanly; one sent by another process ends it as the others do.
class SignalGuard
{
public:
    SignalGuard();
    ~SignalGuard();
    SignalGuard(const SignalGuard &) = delete;
    SignalGuard &operator=(const SignalGuard &) = delete;

private:
    struct Saved
    {
        int signal;
        struct sigaction action;
    };
    std::vector<Saved> m_previous;
};

#endif // SIGNALGUARD_H
