#ifndef SIGNALGUARD_H
#define SIGNALGUARD_H

#include <csignal>

// While it lives, a cut stopped by SIGINT, SIGTERM or SIGHUP takes its
// unfinished output with it: the handler removes the temporary files being
// written (AtomicFile::removeTemporariesNow) and ends the process with
// 128 + the signal's number, as a shell reports a killed command. A signal
// that was ignored when the guard was made (nohup, a background job) stays
// ignored. SIGXFSZ is ignored, so that a file-size limit makes the write
// fail with EFBIG and the cut fail the ordinary way, with its message.
class SignalGuard
{
public:
    SignalGuard();
    ~SignalGuard();
    SignalGuard(const SignalGuard &) = delete;
    SignalGuard &operator=(const SignalGuard &) = delete;

private:
    static constexpr int Count = 4;
    struct sigaction m_previous[Count];
};

#endif // SIGNALGUARD_H
