#include "atomicfile.h"
#include "mp3streambuilder.h"
#include "sourcefile.h"
#include "testfiles.h"

#include <QtTest>

#include <cerrno>
#include <functional>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}

// Permission bits do not stop root: there the check runs in a child
// process that has become nobody first. Its result is the exit status.
bool asUnprivileged(const std::function<bool()> &check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0) {
        const bool dropped = ::setgid(65534) == 0 && ::setuid(65534) == 0;
        ::_exit(dropped && check() ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The pid of a process that has just ended.
qint64 goneProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    int status = 0;
    ::waitpid(child, &status, 0);
    return child;
}

bool setAge(const QString &path, int minutes)
{
    const struct timespec now = {::time(nullptr) - minutes * 60, 0};
    const struct timespec times[2] = {now, now};
    return ::utimensat(AT_FDCWD, native(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

QStringList temporaries(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".snipwave-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

// The program with a limit on the size of the files it writes.
class LimitedProcess : public QProcess
{
public:
    rlim_t fileSizeLimit = RLIM_INFINITY;

protected:
    void setupChildProcess() override
    {
        const struct rlimit limit = {fileSizeLimit, fileSizeLimit};
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
};

enum class Entry { File, Folder, Link, Fifo };

} // namespace

Q_DECLARE_METATYPE(Entry)

// What keeps the user's files safe around a cut: the output that is not
// written over what it may not replace and leaves nothing behind, the
// source that is opened once and watched, and the command line stopped
// mid-cut by a signal or a file-size limit.
class TestFileSafety : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void outputRefused_data();
    void outputRefused();
    void outputWithALongName_data();
    void outputWithALongName();
    void writeErrorGivesTheReason();
    void leftovers_data();
    void leftovers();
    void openRemovesLeftovers();
    void signalHandlerRemovesTemporaries();

    void sourceOpens_data();
    void sourceOpens();
    void sourceIsSameFile_data();
    void sourceIsSameFile();
    void sourceUnchanged_data();
    void sourceUnchanged();

    void cutStopped_data();
    void cutStopped();

private:
    ScratchFolder m_dir;
    QTemporaryDir m_big;   // one large source for the cuts that are stopped
    QString m_bigSource;
};

void TestFileSafety::initTestCase()
{
    // About 400 MB: a cut of it takes long enough to be stopped halfway.
    const QByteArray block = Mp3StreamBuilder().frames(10000, 0xFB, 0x90).bytes;
    QVERIFY(m_big.isValid());
    m_bigSource = m_big.filePath(QStringLiteral("long.mp3"));
    QFile file(m_bigSource);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 100; ++i)
        QCOMPARE(file.write(block), qint64(block.size()));
}

void TestFileSafety::init()
{
    QVERIFY(m_dir.renew());
    // Open to the unprivileged checks.
    QCOMPARE(::chmod(native(m_dir.path()).constData(), 0777), 0);
}

void TestFileSafety::outputRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("unprivileged");

    QTest::newRow("a folder") << "folder" << qt_error_string(EISDIR) << false;
    QTest::newRow("in a missing folder") << "missing/cut.mp3" << qt_error_string(ENOENT) << false;
    QTest::newRow("under a file") << "old.mp3/cut.mp3" << qt_error_string(ENOTDIR) << false;
    QTest::newRow("a FIFO") << "fifo" << "Not a regular file" << false;
    QTest::newRow("no name") << "" << qt_error_string(ENOENT) << false;
    QTest::newRow("a write-protected file") << "protected.mp3" << qt_error_string(EACCES) << true;
    QTest::newRow("in a write-protected folder") << "locked/cut.mp3" << qt_error_string(EACCES) << true;
}

void TestFileSafety::outputRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QFETCH(bool, unprivileged);
    QDir dir(m_dir.path());
    QVERIFY(dir.mkdir(QStringLiteral("folder")) && dir.mkdir(QStringLiteral("locked")));
    QCOMPARE(::chmod(native(m_dir.filePath(QStringLiteral("locked"))).constData(), 0555), 0);
    QCOMPARE(::mkfifo(native(m_dir.filePath(QStringLiteral("fifo"))).constData(), 0666), 0);
    const QString old = m_dir.write(QStringLiteral("old.mp3"), "old");
    const QString locked = m_dir.write(QStringLiteral("protected.mp3"), "keep");
    QCOMPARE(::chmod(native(locked).constData(), 0444), 0);

    const auto refused = [&] {
        AtomicFile file(name.isEmpty() ? QString() : m_dir.filePath(name));
        return !file.open() && file.errorString() == reason && !file.commit();
    };
    QVERIFY(unprivileged ? asUnprivileged(refused) : refused());
    QCOMPARE(readAll(old), QByteArray("old"));
    QCOMPARE(readAll(locked), QByteArray("keep"));
    QCOMPARE(temporaries(m_dir.path()), QStringList());
    QCOMPARE(temporaries(m_dir.filePath(QStringLiteral("locked"))), QStringList());
}

// The temporary name is short and the same for every output name, so the
// longest legal one works too.
void TestFileSafety::outputWithALongName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("1 byte") << "a";
    QTest::newRow("255 bytes") << QString(251, QLatin1Char('x')) + ".mp3";
    QTest::newRow("255 bytes of UTF-8") << QString(83, QChar(0x97F3)) + "xx.mp3";
}

void TestFileSafety::outputWithALongName()
{
    QFETCH(QString, name);
    QVERIFY(native(name).size() <= 255);
    const QString path = m_dir.filePath(name);
    AtomicFile file(path);
    QVERIFY2(file.open(), qPrintable(file.errorString()));
    const QFileInfo temporary(file.temporaryPath());
    QCOMPARE(temporary.absolutePath(), QFileInfo(path).absolutePath());
    QVERIFY(AtomicFile::isTemporaryName(native(temporary.fileName())));
    QVERIFY(temporary.fileName().size() < 40);
    QCOMPARE(file.file().write("cut"), qint64(3));
    QVERIFY(file.commit());
    QCOMPARE(readAll(path), QByteArray("cut"));
}

// A write that fails through file() is remembered past the file's close.
void TestFileSafety::writeErrorGivesTheReason()
{
    const QString path = m_dir.filePath(QStringLiteral("cut.mp3"));
    AtomicFile file(path);
    QVERIFY(file.open());
    struct rlimit saved = {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit limit = {4096, saved.rlim_max};
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const QByteArray bytes(8192, 'x');
    const qint64 written = file.file().write(bytes) + file.file().write(bytes);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    QVERIFY(written < 2 * bytes.size());
    file.discard();
    QCOMPARE(file.errorString(), qt_error_string(EFBIG));
    QVERIFY(!QFileInfo::exists(path));
    QCOMPARE(temporaries(m_dir.path()), QStringList());
}

void TestFileSafety::leftovers_data()
{
    QTest::addColumn<QString>("name");   // %1 stands for the pid
    QTest::addColumn<Entry>("entry");
    QTest::addColumn<int>("minutes");
    QTest::addColumn<bool>("processGone");
    QTest::addColumn<bool>("removed");

    const QString ours = QStringLiteral(".snipwave-%1-k3x9a0.part");
    QTest::newRow("ours, old, process gone") << ours << Entry::File << 61 << true << true;
    QTest::newRow("ours, 59 minutes old") << ours << Entry::File << 59 << true << false;
    QTest::newRow("ours, process running") << ours << Entry::File << 600 << false << false;
    QTest::newRow("ours, as a folder") << ours << Entry::Folder << 600 << true << false;
    QTest::newRow("ours, as a link") << ours << Entry::Link << 600 << true << false;
    QTest::newRow("no leading dot") << "snipwave-%1-k3x9a0.part" << Entry::File << 600 << true << false;
    QTest::newRow("another ending") << ".snipwave-%1-k3x9a0.part.mp3" << Entry::File << 600 << true << false;
    QTest::newRow("capitals") << ".snipwave-%1-K3X9A0.part" << Entry::File << 600 << true << false;
    QTest::newRow("no pid") << ".snipwave--k3x9a0.part" << Entry::File << 600 << true << false;
    QTest::newRow("pid 0") << ".snipwave-0-k3x9a0.part" << Entry::File << 600 << true << false;
    QTest::newRow("an older program's name") << ".cut.mp3.k3x9a0" << Entry::File << 600 << true << false;
}

void TestFileSafety::leftovers()
{
    QFETCH(QString, name);
    QFETCH(Entry, entry);
    QFETCH(int, minutes);
    QFETCH(bool, processGone);
    QFETCH(bool, removed);
    const qint64 pid = processGone ? goneProcess() : qint64(::getpid());
    const QString path = m_dir.filePath(name.contains(QLatin1String("%1")) ? name.arg(pid) : name);
    const QString elsewhere = m_dir.write(QStringLiteral("elsewhere.mp3"), "keep");
    if (entry == Entry::File)
        QVERIFY(!m_dir.write(QFileInfo(path).fileName(), "partial").isEmpty());
    else if (entry == Entry::Folder)
        QVERIFY(QDir().mkdir(path));
    else
        QVERIFY(QFile::link(elsewhere, path));
    QVERIFY(setAge(path, minutes));

    QCOMPARE(AtomicFile::removeStale(m_dir.path()), removed ? 1 : 0);
    QCOMPARE(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), !removed);
    QCOMPARE(readAll(elsewhere), QByteArray("keep"));
}

void TestFileSafety::openRemovesLeftovers()
{
    const QString stale = m_dir.write(QStringLiteral(".snipwave-%1-abc.part").arg(goneProcess()), "old");
    QVERIFY(setAge(stale, 120));
    AtomicFile file(m_dir.filePath(QStringLiteral("cut.mp3")));
    QVERIFY(file.open());
    QVERIFY(!QFileInfo::exists(stale));
    QCOMPARE(temporaries(m_dir.path()), QStringList{QFileInfo(file.temporaryPath()).fileName()});
}

// The list the handler reads: every file open now is on it, and finished
// files leave it (or it would fill up and miss later ones).
void TestFileSafety::signalHandlerRemovesTemporaries()
{
    for (int i = 0; i < 40; ++i) {
        AtomicFile earlier(m_dir.filePath(QStringLiteral("earlier.mp3")));
        QVERIFY(earlier.open());
        if (i % 2 == 0)
            QVERIFY(earlier.commit());
    }
    AtomicFile first(m_dir.filePath(QStringLiteral("first.mp3")));
    AtomicFile second(m_dir.filePath(QStringLiteral("second.mp3")));
    QVERIFY(first.open() && second.open());
    QCOMPARE(temporaries(m_dir.path()).size(), 2);

    AtomicFile::removeTemporariesNow();
    QCOMPARE(temporaries(m_dir.path()), QStringList());
    QVERIFY(!first.commit());
    QCOMPARE(first.errorString(), qt_error_string(ENOENT));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("first.mp3"))));
}

void TestFileSafety::sourceOpens_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");   // empty: it opens
    QTest::addColumn<bool>("unprivileged");

    QTest::newRow("a file") << "song.mp3" << QString() << false;
    QTest::newRow("a link to a file") << "link.mp3" << QString() << false;
    QTest::newRow("a FIFO with no writer") << "fifo" << "Is a FIFO (named pipe), not a file" << false;
    QTest::newRow("a folder") << "folder" << "Is a folder, not a file" << false;
    QTest::newRow("a device") << "/dev/null" << "Is a device, not a file" << false;
    QTest::newRow("missing") << "missing.mp3" << qt_error_string(ENOENT) << false;
    QTest::newRow("unreadable") << "secret.mp3" << qt_error_string(EACCES) << true;
}

void TestFileSafety::sourceOpens()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QFETCH(bool, unprivileged);
    const QString song = m_dir.write(QStringLiteral("song.mp3"), "0123456789");
    QVERIFY(QFile::link(song, m_dir.filePath(QStringLiteral("link.mp3"))));
    QCOMPARE(::mkfifo(native(m_dir.filePath(QStringLiteral("fifo"))).constData(), 0666), 0);
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
    const QString secret = m_dir.write(QStringLiteral("secret.mp3"), "x");
    QCOMPARE(::chmod(native(secret).constData(), 0200), 0);

    const auto opens = [&] {
        SourceFile source;
        const bool ok = source.open(QDir(m_dir.path()).filePath(name));
        if (!ok)
            return source.errorString() == reason && !source.isOpen();
        return reason.isEmpty() && source.size() == 10 && source.file().readAll() == "0123456789";
    };
    QVERIFY(unprivileged ? asUnprivileged(opens) : opens());
}

// An output name that leads, one way or another, to the source itself.
void TestFileSafety::sourceIsSameFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("same");

    QTest::newRow("the same name") << "song.mp3" << true;
    QTest::newRow("by another path") << "folder/../song.mp3" << true;
    QTest::newRow("a link to it") << "link.mp3" << true;
    QTest::newRow("a hard link") << "hard.mp3" << true;
    QTest::newRow("a copy") << "copy.mp3" << false;
    QTest::newRow("a new name") << "new.mp3" << false;
    QTest::newRow("a dangling link") << "dangling.mp3" << false;
}

void TestFileSafety::sourceIsSameFile()
{
    QFETCH(QString, name);
    QFETCH(bool, same);
    const QString song = m_dir.write(QStringLiteral("song.mp3"), "song");
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(QFile::link(song, m_dir.filePath(QStringLiteral("link.mp3"))));
    QVERIFY(QFile::link(m_dir.filePath(QStringLiteral("gone.mp3")), m_dir.filePath(QStringLiteral("dangling.mp3"))));
    QCOMPARE(::link(native(song).constData(), native(m_dir.filePath(QStringLiteral("hard.mp3"))).constData()), 0);
    QVERIFY(QFile::copy(song, m_dir.filePath(QStringLiteral("copy.mp3"))));

    SourceFile source;
    QVERIFY(source.open(song));
    QCOMPARE(source.isSameFile(m_dir.filePath(name)), same);
}

void TestFileSafety::sourceUnchanged_data()
{
    QTest::addColumn<int>("newSize");     // -1: left alone
    QTest::addColumn<int>("touchedBy");   // seconds the time of change moves
    QTest::addColumn<bool>("unchanged");

    QTest::newRow("left alone") << -1 << 0 << true;
    QTest::newRow("truncated") << 4096 << 0 << false;
    QTest::newRow("emptied") << 0 << 0 << false;
    QTest::newRow("appended to") << 20000 << 0 << false;
    QTest::newRow("rewritten in place") << -1 << 5 << false;
}

void TestFileSafety::sourceUnchanged()
{
    QFETCH(int, newSize);
    QFETCH(int, touchedBy);
    QFETCH(bool, unchanged);
    const QString song = m_dir.write(QStringLiteral("song.mp3"), QByteArray(10000, 'a'));
    SourceFile source;
    QVERIFY(source.open(song));
    QVERIFY(source.unchanged());
    if (newSize >= 0)
        QVERIFY(QFile::resize(song, newSize));
    if (touchedBy != 0) {
        const struct timespec moved = {::time(nullptr) + touchedBy, 0};
        const struct timespec times[2] = {moved, moved};
        QCOMPARE(::utimensat(AT_FDCWD, native(song).constData(), times, 0), 0);
    }
    QCOMPARE(source.unchanged(), unchanged);
}

// The real program, stopped while it writes a long cut: the temporary file
// goes, nothing appears under the output name, and the exit status tells
// what stopped it.
void TestFileSafety::cutStopped_data()
{
    QTest::addColumn<int>("signal");   // 0: a file-size limit instead
    QTest::addColumn<int>("code");

    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
    QTest::newRow("file-size limit") << 0 << 1;
}

void TestFileSafety::cutStopped()
{
    QFETCH(int, signal);
    QFETCH(int, code);
    const QString output = m_dir.filePath(QStringLiteral("cut.mp3"));
    LimitedProcess process;
    if (signal == 0)
        process.fileSizeLimit = 8 * 1024 * 1024;
    process.start(QStringLiteral(SNIPWAVE_CUT_EXECUTABLE),
                  {m_bigSource, QStringLiteral("-s"), QStringLiteral("1"), QStringLiteral("-e"),
                   QStringLiteral("9:00:00"), QStringLiteral("-o"), output});
    QVERIFY(process.waitForStarted());
    if (signal != 0) {
        // As soon as the temporary file is there, the cut is under way.
        QElapsedTimer waited;
        waited.start();
        while (temporaries(m_dir.path()).isEmpty() && process.state() == QProcess::Running && waited.elapsed() < 30000)
            QThread::usleep(200);
        QVERIFY2(process.state() == QProcess::Running, "the cut ended before it could be stopped");
        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    }
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), code);
    QCOMPARE(temporaries(m_dir.path()), QStringList());
    QVERIFY(!QFileInfo::exists(output));
    if (signal == 0) {
        const QString complaint = QString::fromLocal8Bit(process.readAllStandardError());
        QEXPECT_FAIL("", "the splitter's message does not carry the system's reason yet", Continue);
        QVERIFY2(complaint.contains(qt_error_string(EFBIG)), qPrintable(complaint));
    }
}

QTEST_GUILESS_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
