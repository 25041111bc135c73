#include "customguiapplication.h"

#include <QByteArray>
#include <QEvent>
#include <QFile>
#include <QJsonObject>
#include <QLibraryInfo>
#include <QLocale>
#include <QTimer>
#include <QTranslator>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#if defined(Q_OS_UNIX) && !defined(QT_POSIX_IPC)
#include <cerrno>
#include <csignal>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <sys/types.h>
#include <ctime>
#define SNIPWAVE_SYSV_SEGMENTS
#endif

CustomGuiApplication *CustomGuiApplication::owner = nullptr;

namespace {

constexpr char idleState = '0';
constexpr char messageWaitingState = '1';
constexpr int pollIntervalMs = 1000;
// Room for the state byte, a path of PATH_MAX bytes and its NUL, with some
// to spare.
constexpr int segmentSize = 8192;
// Qt attaches a segment right after creating it. One that has been without
// any attachment for longer than this is left over, whoever has its
// creator's process id now.
constexpr time_t creationGraceSeconds = 2;

// System V segments outlive their processes: after a crash or a SIGKILL the
// segment stays with no process attached, and every later start would take
// it for a running instance. Such a segment has no attachment, and either its
// creator is gone or it was made some seconds ago. The creator's process id
// alone does not do: after a reboot or a wrap of the ids some other process
// may carry it. A segment without attachment made just now by a living
// process is one that is being created (Qt creates, then attaches), and is
// left alone.
bool isAbandoned(const QSharedMemory &segment)
{
#ifdef SNIPWAVE_SYSV_SEGMENTS
    // QSharedMemory derives the System V key from its key file like this.
    const key_t key = ftok(QFile::encodeName(segment.nativeKey()).constData(), 'Q');
    if (key == -1)
        return false;
    const int id = shmget(key, 0, 0400);
    if (id == -1)
        return false;
    shmid_ds status {};
    if (shmctl(id, IPC_STAT, &status) == -1)
        return false;
    if (status.shm_nattch != 0)
        return false;
    const bool creatorGone = kill(status.shm_cpid, 0) == -1 && errno == ESRCH;
    return creatorGone || time(nullptr) - status.shm_ctime > creationGraceSeconds;
#else
    // Elsewhere the segment goes away with the last process attached to it.
    Q_UNUSED(segment)
    return false;
#endif
}

} // namespace

CustomGuiApplication::CustomGuiApplication(int &argc, char **argv, const QString &uniqueKey)
    : QApplication(argc, argv)
    , globalMousePos(0, 0)
{
    sharedMemory->setKey(uniqueKey);
    if (!takeSegment())
        return; // another instance runs, or no segment: no polling
    owner = this;
    static const bool registered = std::atexit(releaseSegmentAtExit) == 0;
    Q_UNUSED(registered)

    if (sharedMemory->lock()) {
        static_cast<char *>(sharedMemory->data())[0] = idleState;
        sharedMemory->unlock();
    }

    auto *timer = new QTimer(this);
    connect(timer, SIGNAL(timeout()), this, SLOT(checkForMessage()));
    timer->start(pollIntervalMs);
}

// The System V key comes from the key file's inode, and only its low bits.
// When the key file is missing (a cleaned temporary folder), the one create()
// makes may share its key with a segment some crashed program left under
// another key file; that segment is found abandoned only once the key file
// exists, so the check is made again after a failed create.
bool CustomGuiApplication::takeSegment()
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        // Attaching to an abandoned segment and detaching again makes Qt
        // remove it, since the detach leaves it without any attachment.
        if (isAbandoned(*sharedMemory) && sharedMemory->attach())
            sharedMemory->detach();

        if (sharedMemory->attach(QSharedMemory::ReadWrite)) {
            running = true;
            return false;
        }
        if (sharedMemory->create(segmentSize, QSharedMemory::ReadWrite))
            return true;
        if (sharedMemory->error() != QSharedMemory::AlreadyExists)
            return false;
    }
    return false;
}

CustomGuiApplication::~CustomGuiApplication()
{
    if (owner == this)
        owner = nullptr;
}

// Qt ends the process with exit() when the X server goes away, as at a
// logout: no destructor of main's runs then, and the System V segment and
// its lock semaphore would outlive the process. Destroying the segment's
// object detaches the last attachment, which removes both.
void CustomGuiApplication::releaseSegmentAtExit()
{
    if (owner)
        owner->sharedMemory.reset();
}

bool CustomGuiApplication::isRunning() const
{
    return running;
}

bool CustomGuiApplication::sendMessage(const QString &message)
{
    if (!running || !sharedMemory)
        return false;

    QByteArray bytes(1, messageWaitingState);
    bytes += message.toUtf8();
    bytes += '\0';

    if (!sharedMemory->lock())
        return false;
    const int length = std::min(bytes.size(), sharedMemory->size());
    std::memcpy(sharedMemory->data(), bytes.constData(), size_t(length));
    sharedMemory->unlock();
    return true;
}

void CustomGuiApplication::checkForMessage()
{
    if (!sharedMemory || !sharedMemory->isAttached() || !sharedMemory->lock())
        return;

    // Read the message and mark it taken under one hold of the lock, so a
    // message written right after the read is not wiped by the reset.
    const QByteArray content(static_cast<const char *>(sharedMemory->constData()),
                             sharedMemory->size());
    const bool waiting = !content.isEmpty() && content.at(0) != idleState;
    if (waiting)
        static_cast<char *>(sharedMemory->data())[0] = idleState;
    sharedMemory->unlock();

    if (!waiting)
        return;
    QByteArray text = content.mid(1);
    const int end = text.indexOf('\0');
    if (end >= 0)
        text.truncate(end);
    emit messageAvailable(QString::fromUtf8(text));
}

// The window's texts are Chinese; Qt's own dialogs and buttons follow with
// Qt's catalogue from the system's Qt translations.
void CustomGuiApplication::installTranslations()
{
    auto *qtTranslator = new QTranslator(this);
    if (qtTranslator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::location(QLibraryInfo::TranslationsPath)))
        installTranslator(qtTranslator);
    // Installed even when the catalogue does not load: the texts then stay
    // in English.
    auto *translator = new QTranslator(this);
    const bool catalogueLoaded = translator->load(QStringLiteral(":snipwave_zh_CN.qm"));
    Q_UNUSED(catalogueLoaded)
    installTranslator(translator);
}

QJsonValue CustomGuiApplication::getGlobalMousePos()
{
    QJsonObject position;
    position.insert(QStringLiteral("x"), globalMousePos.x());
    position.insert(QStringLiteral("y"), globalMousePos.y());
    return position;
}

QString CustomGuiApplication::getVersion()
{
    return QCoreApplication::applicationVersion();
}

bool CustomGuiApplication::notify(QObject *receiver, QEvent *event)
{
    if (receiver && event && receiver->objectName() == QLatin1String("mainwindow")) {
        switch (event->type()) {
        case QEvent::FocusOut:
        case QEvent::Leave:
            emit windowFocusOut();
            break;
        case QEvent::FocusIn:
            emit windowFocusIn();
            break;
        default:
            break;
        }
    }
    return QApplication::notify(receiver, event);
}
