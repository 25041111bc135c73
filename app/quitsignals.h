#ifndef QUITSIGNALS_H
#define QUITSIGNALS_H

#include <QObject>

#include <csignal>

class QSocketNotifier;

// While it lives, SIGTERM, SIGINT and SIGHUP (a logout, `kill`, Ctrl+C in
// the terminal that started the window) are announced by received() on the
// GUI thread instead of ending the process on the spot, so that the program
// can end the way closing its window does: settings saved, a running cut
// finished, the single-instance segment given back. A second signal ends the
// process at once, after its last words (only what a signal handler may do).
// A signal that was ignored when the object was made (nohup) stays ignored.
// One at a time per process.
class QuitSignals : public QObject
{
    Q_OBJECT

public:
    using LastWords = void (*)();

    explicit QuitSignals(LastWords lastWords = nullptr, QObject *parent = nullptr);
    ~QuitSignals() override;

signals:
    void received(int signal);

private:
    void readSignal();

    static constexpr int Count = 3;
    struct sigaction m_previous[Count];
    bool m_installed[Count] = {};
    QSocketNotifier *m_notifier = nullptr;
};

#endif // QUITSIGNALS_H
