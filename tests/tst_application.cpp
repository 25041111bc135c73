#include "customguiapplication.h"
#include "testfiles.h"

#include <QDir>
#include <QFocusEvent>
#include <QJsonObject>
#include <QMetaMethod>
#include <QProcess>
#include <QScopeGuard>
#include <QSharedMemory>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>
#include <memory>
#include <signal.h>
#include <sys/ipc.h>
#include <sys/sem.h>
#include <sys/shm.h>

namespace {

const QString programKey = QStringLiteral("snipwave");

// Counts the events that actually reach it.
class Receiver : public QObject
{
public:
    QList<QEvent::Type> received;

protected:
    bool event(QEvent *event) override
    {
        received << event->type();
        return QObject::event(event);
    }
};

// The System V segment behind a QSharedMemory key file, looked at without
// attaching to it (an attachment would change what is being observed).
int attachmentsOf(const QString &keyFile)
{
    const key_t key = ftok(QFile::encodeName(keyFile).constData(), 'Q');
    const int id = key == -1 ? -1 : shmget(key, 0, 0400);
    shmid_ds status {};
    if (id == -1 || shmctl(id, IPC_STAT, &status) == -1)
        return -1;
    return int(status.shm_nattch);
}

void removeIpcObjects(const QString &folder)
{
    const QFileInfoList keyFiles =
        QDir(folder).entryInfoList({QStringLiteral("qipc_*")}, QDir::Files);
    for (const QFileInfo &keyFile : keyFiles) {
        const key_t key = ftok(QFile::encodeName(keyFile.filePath()).constData(), 'Q');
        if (key == -1)
            continue;
        const int segment = shmget(key, 0, 0);
        if (segment != -1)
            shmctl(segment, IPC_RMID, nullptr);
        const int semaphore = semget(key, 0, 0);
        if (semaphore != -1)
            semctl(semaphore, 0, IPC_RMID);
    }
}

char stateByte(QSharedMemory &segment)
{
    segment.lock();
    const char state = static_cast<const char *>(segment.constData())[0];
    segment.unlock();
    return state;
}

} // namespace

class TestApplication : public QObject
{
    Q_OBJECT

public:
    explicit TestApplication(const QString &inProcessKey)
        : inProcessKey(inProcessKey)
    {
    }

private slots:
    void init();
    void cleanup();

    void secondStartEndsAtOnce();
    void startAfterKilledInstanceRuns();
    void signalEndsItAsClosingDoes_data();
    void signalEndsItAsClosingDoes();
    void leftoverSegmentOfLivingProcessIsTaken_data();
    void leftoverSegmentOfLivingProcessIsTaken();
    void fileArgumentIsOpened_data();
    void fileArgumentIsOpened();
    void qtTextsAreChinese();

    void messageIsTakenOnce_data();
    void messageIsTakenOnce();
    void pollingDeliversMessage();
    void firstInstanceSendsNothing();

    void focusWatch_data();
    void focusWatch();
    void metaObjectInterface();

private:
    CustomGuiApplication *app() const { return static_cast<CustomGuiApplication *>(qApp); }
    QProcess *startProgram(const QStringList &arguments = {});
    QString programKeyFile() const;
    void writeSegment(const QByteArray &bytes);

    const QString inProcessKey;
    std::unique_ptr<QTemporaryDir> sandbox;
    QByteArray savedTmpDir;
    std::vector<std::unique_ptr<QProcess>> processes;
};

void TestApplication::init()
{
    sandbox = std::make_unique<QTemporaryDir>();
    QVERIFY(sandbox->isValid());
    for (const char *folder : {"tmp", "home", "config", "runtime"})
        QVERIFY(QDir(sandbox->path()).mkdir(QLatin1String(folder)));
    QFile::setPermissions(sandbox->filePath("runtime"), QFileDevice::ReadOwner
                              | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

void TestApplication::cleanup()
{
    for (const auto &process : processes) {
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(10000);
        }
    }
    processes.clear();
    removeIpcObjects(sandbox->filePath("tmp"));
    sandbox.reset();
}

// The segment's key file lives in the temporary folder, so a private one
// keeps these programs apart from a real running instance and from other
// test runs on the machine.
QProcess *TestApplication::startProgram(const QStringList &arguments)
{
    auto environment = QProcessEnvironment::systemEnvironment();
    environment.insert("QT_QPA_PLATFORM", "offscreen");
    environment.insert("TMPDIR", sandbox->filePath("tmp"));
    environment.insert("HOME", sandbox->filePath("home"));
    environment.insert("XDG_CONFIG_HOME", sandbox->filePath("config"));
    environment.insert("XDG_RUNTIME_DIR", sandbox->filePath("runtime"));

    processes.push_back(std::make_unique<QProcess>());
    QProcess *process = processes.back().get();
    process->setProcessEnvironment(environment);
    process->setProgram(QStringLiteral(SNIPWAVE_EXECUTABLE));
    process->setArguments(arguments);
    process->setWorkingDirectory(sandbox->path());
    process->start();
    if (!process->waitForStarted(10000))
        qWarning() << "could not start" << process->program() << process->errorString();
    return process;
}

QString TestApplication::programKeyFile() const
{
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(sandbox->filePath("tmp")));
    QSharedMemory segment;
    segment.setKey(programKey);
    const QString keyFile = segment.nativeKey();
    qputenv("TMPDIR", saved);
    return keyFile;
}

void TestApplication::secondStartEndsAtOnce()
{
    QProcess *first = startProgram();
    QTRY_COMPARE_WITH_TIMEOUT(attachmentsOf(programKeyFile()), 1, 20000);

    QProcess *second = startProgram();
    QVERIFY(second->waitForFinished(20000));
    QCOMPARE(second->exitStatus(), QProcess::NormalExit);
    QCOMPARE(second->exitCode(), 0);
    QCOMPARE(second->readAllStandardOutput(), QByteArray());

    // The first instance goes on, still the only one attached, and no
    // message was left for it.
    QCOMPARE(first->state(), QProcess::Running);
    // For a moment after the second start ends the count can still read 2
    // (seen on the unchanged program too); it settles at the first alone.
    QTRY_COMPARE(attachmentsOf(programKeyFile()), 1);
    QSharedMemory segment;
    segment.setNativeKey(programKeyFile());
    QVERIFY(segment.attach(QSharedMemory::ReadOnly));
    QCOMPARE(stateByte(segment), '0');
}

void TestApplication::startAfterKilledInstanceRuns()
{
    QProcess *killed = startProgram();
    QTRY_COMPARE_WITH_TIMEOUT(attachmentsOf(programKeyFile()), 1, 20000);
    ::kill(pid_t(killed->processId()), SIGKILL);
    QVERIFY(killed->waitForFinished(10000));
    QCOMPARE(attachmentsOf(programKeyFile()), 0); // left behind, nobody attached

    QProcess *next = startProgram();
    QTRY_COMPARE_WITH_TIMEOUT(attachmentsOf(programKeyFile()), 1, 20000);
    QCOMPARE(next->state(), QProcess::Running);

    // It really is the running instance now: a further start gives way.
    QProcess *another = startProgram();
    QVERIFY(another->waitForFinished(20000));
    QCOMPARE(another->exitCode(), 0);
    QCOMPARE(next->state(), QProcess::Running);
}

void TestApplication::signalEndsItAsClosingDoes_data()
{
    QTest::addColumn<int>("signal");
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("SIGHUP") << int(SIGHUP);
}

// The settings are saved and the segment and its semaphore are given back,
// with their key files: nothing is left for the next start to clear.
void TestApplication::signalEndsItAsClosingDoes()
{
    QFETCH(int, signal);
    QProcess *window = startProgram();
    QTRY_COMPARE_WITH_TIMEOUT(attachmentsOf(programKeyFile()), 1, 20000);
    const QString settings = sandbox->filePath(QStringLiteral("config/snipwave/settings.json"));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(settings), 20000);
    QVERIFY(!readAll(settings).contains("Common"));

    ::kill(pid_t(window->processId()), signal);
    QVERIFY(window->waitForFinished(20000));
    QCOMPARE(window->exitStatus(), QProcess::NormalExit);
    QCOMPARE(window->exitCode(), 0);
    QVERIFY(readAll(settings).contains("Common"));
    QCOMPARE(QDir(sandbox->filePath("tmp")).entryList({QStringLiteral("qipc_*")}, QDir::Files), QStringList());
}

// A segment nobody is attached to, made some seconds ago by a process that
// still runs (here the test itself): what a crashed instance leaves when its
// process id has gone to another process since. Without its key file, such
// segments may hold the key the next key file gets (the key is the inode's
// low bits), as after a clean-up of the temporary folder: segments are left
// under the keys of the inodes next to a fresh file's.
void TestApplication::leftoverSegmentOfLivingProcessIsTaken_data()
{
    QTest::addColumn<bool>("keyFileKept");
    QTest::newRow("key file kept") << true;
    QTest::newRow("key file gone") << false;
}

void TestApplication::leftoverSegmentOfLivingProcessIsTaken()
{
    QFETCH(bool, keyFileKept);
    const QString keyFile = programKeyFile();
    QFile touch(keyFile);
    QVERIFY(touch.open(QIODevice::WriteOnly));
    touch.close();
    const key_t key = ftok(QFile::encodeName(keyFile).constData(), 'Q');
    QVERIFY(key != -1);
    QVERIFY(shmget(key, 1, IPC_CREAT | IPC_EXCL | 0600) != -1);
    QList<int> leftovers {shmget(key, 0, 0)};
    // Removed by id: without a key file the sandbox clean-up cannot find them.
    const auto removeLeftovers = qScopeGuard([&leftovers] {
        for (int id : qAsConst(leftovers))
            shmctl(id, IPC_RMID, nullptr);
    });
    if (!keyFileKept) {
        QVERIFY(touch.remove());
        for (key_t next = key + 1; next < key + 512 && (next & 0xffff) != 0; ++next) {
            const int id = shmget(next, 1, IPC_CREAT | IPC_EXCL | 0600);
            if (id != -1) // a key already taken is not ours to leave or remove
                leftovers << id;
        }
    }
    QTest::qWait(3500);

    QProcess *next = startProgram();
    QTRY_COMPARE_WITH_TIMEOUT(attachmentsOf(programKeyFile()), 1, 20000);
    QCOMPARE(next->state(), QProcess::Running);
}

void TestApplication::fileArgumentIsOpened_data()
{
    QTest::addColumn<bool>("handedOver");
    QTest::newRow("first start") << false;
    QTest::newRow("second start hands it to the first") << true;
}

// The file is given relative to the starting process's folder. The window
// that opens it plays it, so the player holds it open.
void TestApplication::fileArgumentIsOpened()
{
    QFETCH(bool, handedOver);

    QVERIFY(QFile::copy(QStringLiteral(SNIPWAVE_TEST_DATA "/tone_440hz_2s.mp3"), sandbox->filePath("tone.mp3")));
    const QString file = QFileInfo(sandbox->filePath("tone.mp3")).canonicalFilePath();
    QProcess *window = startProgram(handedOver ? QStringList() : QStringList{"tone.mp3"});
    QTRY_COMPARE_WITH_TIMEOUT(attachmentsOf(programKeyFile()), 1, 20000);
    if (handedOver) {
        QProcess *second = startProgram({"tone.mp3"});
        QVERIFY(second->waitForFinished(20000));
        QCOMPARE(second->exitCode(), 0);
    }

    auto holdsFile = [&] {
        const QDir fds(QStringLiteral("/proc/%1/fd").arg(window->processId()));
        for (const QFileInfo &fd : fds.entryInfoList(QDir::Files | QDir::System | QDir::NoDotAndDotDot)) {
            if (fd.symLinkTarget() == file)
                return true;
        }
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(holdsFile(), 20000);
    QCOMPARE(window->state(), QProcess::Running);
}

void TestApplication::qtTextsAreChinese()
{
    app()->installTranslations();
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "OK"), QStringLiteral("确定"));
}

void TestApplication::writeSegment(const QByteArray &bytes)
{
    QSharedMemory writer;
    writer.setKey(inProcessKey);
    QVERIFY(writer.attach());
    QVERIFY(writer.lock());
    std::memcpy(writer.data(), bytes.constData(), size_t(qMin(bytes.size(), writer.size())));
    writer.unlock();
}

void TestApplication::messageIsTakenOnce_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<bool>("announced");

    QTest::newRow("message") << QByteArray("1open /music/a.mp3", 19) << true;
    QTest::newRow("non-ASCII message") << QByteArray("1\xE4\xBD\xA0\xE5\xA5\xBD", 8) << true;
    QTest::newRow("empty message") << QByteArray("1", 2) << true;
    QTest::newRow("any state but 0 counts") << QByteArray("x", 2) << true;
    QTest::newRow("idle with text behind") << QByteArray("0stale text", 12) << false;
}

void TestApplication::messageIsTakenOnce()
{
    QFETCH(QByteArray, written);
    QFETCH(bool, announced);

    QSharedMemory reader;
    reader.setKey(inProcessKey);
    QVERIFY(reader.attach(QSharedMemory::ReadOnly));
    writeSegment(written);

    // The message is whatever fits in the segment after the state byte, up
    // to the first NUL.
    QByteArray fits = written.left(reader.size()).mid(1);
    if (fits.contains('\0'))
        fits.truncate(fits.indexOf('\0'));

    QSignalSpy spy(app(), &CustomGuiApplication::messageAvailable);
    app()->checkForMessage();
    app()->checkForMessage();
    QCOMPARE(spy.count(), announced ? 1 : 0);
    if (announced)
        QCOMPARE(spy.at(0).at(0).toString(), QString::fromUtf8(fits));
    QCOMPARE(stateByte(reader), '0');
}

void TestApplication::pollingDeliversMessage()
{
    QSignalSpy spy(app(), &CustomGuiApplication::messageAvailable);
    writeSegment(QByteArray("1", 2));
    QVERIFY(spy.wait(5000));
    QTest::qWait(1500); // at least one more poll
    QCOMPARE(spy.count(), 1);
}

void TestApplication::firstInstanceSendsNothing()
{
    QVERIFY(!app()->isRunning());
    QSignalSpy spy(app(), &CustomGuiApplication::messageAvailable);
    QVERIFY(!app()->sendMessage(QStringLiteral("hello")));
    app()->checkForMessage();
    QCOMPARE(spy.count(), 0);
}

void TestApplication::focusWatch_data()
{
    QTest::addColumn<QString>("objectName");
    QTest::addColumn<int>("eventType");
    QTest::addColumn<int>("focusOut");
    QTest::addColumn<int>("focusIn");

    const QString watched = QStringLiteral("mainwindow");
    QTest::newRow("focus in") << watched << int(QEvent::FocusIn) << 0 << 1;
    QTest::newRow("focus out") << watched << int(QEvent::FocusOut) << 1 << 0;
    QTest::newRow("leave") << watched << int(QEvent::Leave) << 1 << 0;
    QTest::newRow("enter") << watched << int(QEvent::Enter) << 0 << 0;
    QTest::newRow("other object") << QStringLiteral("dialog") << int(QEvent::FocusIn) << 0 << 0;
    QTest::newRow("window's own name differs in case")
        << QStringLiteral("MainWindow") << int(QEvent::FocusOut) << 0 << 0;
}

void TestApplication::focusWatch()
{
    QFETCH(QString, objectName);
    QFETCH(int, eventType);
    QFETCH(int, focusOut);
    QFETCH(int, focusIn);

    Receiver receiver;
    receiver.setObjectName(objectName);
    QSignalSpy outSpy(app(), &CustomGuiApplication::windowFocusOut);
    QSignalSpy inSpy(app(), &CustomGuiApplication::windowFocusIn);

    const auto type = QEvent::Type(eventType);
    std::unique_ptr<QEvent> event;
    if (type == QEvent::FocusIn || type == QEvent::FocusOut)
        event = std::make_unique<QFocusEvent>(type);
    else
        event = std::make_unique<QEvent>(type);
    QCoreApplication::sendEvent(&receiver, event.get());

    QCOMPARE(outSpy.count(), focusOut);
    QCOMPARE(inSpy.count(), focusIn);
    QCOMPARE(receiver.received, QList<QEvent::Type> {type}); // delivered unchanged
}

void TestApplication::metaObjectInterface()
{
    // Callers reach these by name and index, so their order is part of the
    // interface.
    const QMetaObject *meta = app()->metaObject();
    QStringList signatures;
    for (int i = meta->methodOffset(); i < meta->methodCount(); ++i)
        signatures << QString::fromLatin1(meta->method(i).methodSignature());
    QCOMPARE(signatures, QStringList({"messageAvailable(QString)", "windowFocusOut()",
                                      "windowFocusIn()", "checkForMessage()",
                                      "getGlobalMousePos()", "getVersion()"}));

    QJsonValue position;
    QVERIFY(QMetaObject::invokeMethod(app(), "getGlobalMousePos", Q_RETURN_ARG(QJsonValue, position)));
    QCOMPARE(position, QJsonValue(QJsonObject {{"x", 0}, {"y", 0}}));

    QString version;
    QVERIFY(QMetaObject::invokeMethod(app(), "getVersion", Q_RETURN_ARG(QString, version)));
    QCOMPARE(version, QStringLiteral(SNIPWAVE_VERSION));
}

int main(int argc, char *argv[])
{
    // A key of its own, so the test never meets a real instance.
    const QString key = QStringLiteral("tst_application_%1").arg(QCoreApplication::applicationPid());
    keepGStreamerRegistry();
    CustomGuiApplication app(argc, argv, key);
    QCoreApplication::setApplicationVersion(QStringLiteral(SNIPWAVE_VERSION));
    TestApplication test(key);
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_application.moc"
