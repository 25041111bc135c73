#ifndef CUSTOMGUIAPPLICATION_H
#define CUSTOMGUIAPPLICATION_H

#include <QApplication>
#include <QJsonValue>
#include <QPoint>
#include <QSharedMemory>
#include <QString>

#include <memory>

// The program's application object. Only one instance of the program runs at
// a time: the first process creates a small shared memory segment under the
// given key and polls it once a second for a message another process may
// leave there; a later process finds the segment, reports isRunning() and is
// expected to end.
//
// Segment layout: byte 0 is the state, "0" when no message waits; when it is
// anything else, the bytes from offset 1 up to a NUL (or the end of the
// segment) are a UTF-8 message. The segment has room for a file path: a
// later start hands the file it was given to the running window this way.
class CustomGuiApplication : public QApplication
{
    Q_OBJECT

public:
    CustomGuiApplication(int &argc, char **argv, const QString &uniqueKey);
    ~CustomGuiApplication() override;

    bool isRunning() const;

    // Leaves a message for the running instance. Returns false (and writes
    // nothing) in the first instance, where there is nobody to tell.
    bool sendMessage(const QString &message);

    // Qt's own Chinese texts from the system's Qt translations, and the
    // program's catalogue.
    void installTranslations();

    Q_INVOKABLE QJsonValue getGlobalMousePos();
    Q_INVOKABLE QString getVersion();

    bool notify(QObject *receiver, QEvent *event) override;

signals:
    void messageAvailable(QString message);
    void windowFocusOut();
    void windowFocusIn();

public slots:
    void checkForMessage();

private:
    // Attaches to a running instance's segment (and sets running) or makes
    // this process's own; true when the own one was made.
    bool takeSegment();
    static void releaseSegmentAtExit();

    static CustomGuiApplication *owner; // the one whose segment it is

    bool running = false;
    // Destroyed early at exit() (see releaseSegmentAtExit()): its lock
    // semaphore goes only with the object.
    std::unique_ptr<QSharedMemory> sharedMemory = std::make_unique<QSharedMemory>();
    QPoint globalMousePos;
};

#endif // CUSTOMGUIAPPLICATION_H
