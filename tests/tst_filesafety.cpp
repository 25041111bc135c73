#include "edit/cutwriter.h"
#include "io/atomicfile.h"
#include "mp3streambuilder.h"
#include "io/sourcefile.h"
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

// Permission bits do not stop root: there the check runs in a child
// process that has become nobody first.
bool asUnprivileged(const std::function<bool()> &check)
{
    if (::geteuid() != 0)
        return check();
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && check() ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// The pid of a process that has just ended.
qint64 goneProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

bool setTime(const QString &path, int minutesFromNow)
{
    const struct timespec time = {::time(nullptr) + minutesFromNow * 60, 0};
    const struct timespec times[2] = {time, time};
    return ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, AT_SYMLINK_NOFOLLOW) == 0;
}

QStringList temporaries(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral(".snipwave-*")}, QDir::AllEntries | QDir::Hidden | QDir::System);
}

} // namespace

// What keeps the user's files safe around a cut: the output that replaces
// only what it may and leaves nothing behind, the source that is opened
// once and watched, and the real program stopped mid-cut.
class TestFileSafety : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void outputRefused_data();
    void outputRefused();
    void outputWithALongName();
    void writeErrorGivesTheReason();
    void cutCutShortGivesTheReason();
    void reservedRoomIsGivenBack_data();
    void reservedRoomIsGivenBack();
    void leftovers_data();
    void leftovers();
    void signalHandlerRemovesTemporaries();

    void sourceOpens_data();
    void sourceOpens();
    void sourceIsSameFile_data();
    void sourceIsSameFile();
    void sourceUnchanged_data();
    void sourceUnchanged();

    void cutStopped_data();
    void cutStopped();
    void outputLinkReplaced_data();
    void outputLinkReplaced();
    void batchEndsEarly_data();
    void batchEndsEarly();

private:
    ScratchFolder m_dir;
    QString m_song;
    QTemporaryDir m_big;   // one long source for the cuts that are stopped
};

void TestFileSafety::initTestCase()
{
    // About 400 MB: a cut of it takes long enough to be stopped halfway.
    const QByteArray block = Mp3StreamBuilder().frames(10000, 0xFB, 0x90).bytes;
    QFile file(m_big.filePath(QStringLiteral("long.mp3")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 100; ++i)
        QCOMPARE(file.write(block), qint64(block.size()));
}

// Every kind of name the tests refuse or compare with, in a folder that
// the unprivileged checks may enter.
void TestFileSafety::init()
{
    QVERIFY(m_dir.renew());
    m_song = m_dir.write(QStringLiteral("song.mp3"), "0123456789");
    const auto at = [this](const char *name) { return QFile::encodeName(m_dir.filePath(QLatin1String(name))); };
    QVERIFY(::chmod(QFile::encodeName(m_dir.path()).constData(), 0777) == 0 && ::mkdir(at("folder"), 0777) == 0
            && ::mkdir(at("locked"), 0555) == 0 && ::mkfifo(at("fifo"), 0666) == 0
            && ::symlink(at("song.mp3"), at("link.mp3")) == 0 && ::symlink("gone.mp3", at("dangling.mp3")) == 0
            && ::link(at("song.mp3"), at("hard.mp3")) == 0 && QFile::copy(m_song, m_dir.filePath("copy.mp3"))
            && !m_dir.write(QStringLiteral("protected.mp3"), "keep").isEmpty() && ::chmod(at("protected.mp3"), 0444) == 0
            && !m_dir.write(QStringLiteral("secret.mp3"), "x").isEmpty() && ::chmod(at("secret.mp3"), 0200) == 0);
}

void TestFileSafety::outputRefused_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    QTest::addColumn<bool>("unprivileged");

    QTest::newRow("a folder") << "folder" << qt_error_string(EISDIR) << false;
    QTest::newRow("in a missing folder") << "missing/cut.mp3" << qt_error_string(ENOENT) << false;
    QTest::newRow("under a file") << "song.mp3/cut.mp3" << qt_error_string(ENOTDIR) << false;
    QTest::newRow("a FIFO") << "fifo" << "Not a regular file" << false;
    QTest::newRow("a write-protected file") << "protected.mp3" << qt_error_string(EACCES) << true;
    QTest::newRow("in a write-protected folder") << "locked/cut.mp3" << qt_error_string(EACCES) << true;
}

void TestFileSafety::outputRefused()
{
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QFETCH(bool, unprivileged);
    // A new file beside them can be written, by the same user.
    const auto refused = [&] {
        AtomicFile file(m_dir.filePath(name));
        AtomicFile control(m_dir.filePath(QStringLiteral("new.mp3")));
        return !file.open() && file.errorString() == reason && !file.commit() && control.open();
    };
    QVERIFY(unprivileged ? asUnprivileged(refused) : refused());
    QCOMPARE(readAll(m_dir.filePath(QStringLiteral("protected.mp3"))), QByteArray("keep"));
    QCOMPARE(temporaries(m_dir.path()) + temporaries(m_dir.filePath(QStringLiteral("locked"))), QStringList());
}

// The temporary name is short whatever the output's, so the longest legal
// output names work too.
void TestFileSafety::outputWithALongName()
{
    for (const QString &name : QStringList{QString(251, QLatin1Char('x')) + ".mp3", QString(83, QChar(0x97F3)) + "xx.mp3"}) {
        QCOMPARE(QFile::encodeName(name).size(), 255);
        AtomicFile file(m_dir.filePath(name));
        QVERIFY2(file.open(), qPrintable(file.errorString()));
        const QFileInfo temporary(file.temporaryPath());
        QCOMPARE(temporary.absolutePath(), QFileInfo(m_dir.path()).absoluteFilePath());
        QVERIFY(AtomicFile::isTemporaryName(QFile::encodeName(temporary.fileName())));
        QVERIFY(file.file().write("cut") == 3 && file.commit());
        QCOMPARE(readAll(m_dir.filePath(name)), QByteArray("cut"));
    }
}

// A write through file() that fails is remembered past the file's close.
void TestFileSafety::writeErrorGivesTheReason()
{
    AtomicFile file(m_dir.filePath(QStringLiteral("cut.mp3")));
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
    QCOMPARE(temporaries(m_dir.path()), QStringList());
}

// A write the limit cuts short is not yet a failure: the cut must go on to
// the system's refusal and carry its reason, not "Unknown error".
void TestFileSafety::cutCutShortGivesTheReason()
{
    CutPlan plan;
    plan.tagFront = QByteArray(8192, 'x');
    QFile source(m_song);
    QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    struct rlimit saved = {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const struct rlimit limit = {4096, saved.rlim_max};
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    const CutResult result = CutWriter().write(plan, source, m_dir.filePath(QStringLiteral("cut.mp3")));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    QCOMPARE(result.code, int(CutResult::OutputCreateFailed));
    QCOMPARE(result.reason, qt_error_string(EFBIG));
}

// What open() removes from the folder it writes into.
void TestFileSafety::reservedRoomIsGivenBack_data()
{
    QTest::addColumn<qint64>("reserved");
    QTest::newRow("what is written") << qint64(10);
    QTest::newRow("far more than is written") << qint64(16 * 1024 * 1024);
}

// A reservation is only a hint: the file holds what was written, and room
// set aside for more is not kept.
void TestFileSafety::reservedRoomIsGivenBack()
{
    QFETCH(qint64, reserved);
    const QString path = m_dir.filePath(QStringLiteral("cut.mp3"));
    AtomicFile file(path);
    QVERIFY(file.open());
    file.reserve(reserved);
    QCOMPARE(file.file().write("0123456789"), qint64(10));
    QVERIFY(file.commit());
    QCOMPARE(readAll(path), QByteArray("0123456789"));
    struct stat info = {};
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &info), 0);
    QVERIFY2(info.st_blocks * 512 <= 64 * 1024, qPrintable(QString::number(info.st_blocks)));
}

void TestFileSafety::leftovers_data()
{
    QTest::addColumn<QString>("name");   // %1 stands for the pid
    QTest::addColumn<int>("minutes");
    QTest::addColumn<bool>("processGone");
    QTest::addColumn<bool>("removed");

    const QString ours = QStringLiteral(".snipwave-%1-k3x9a0.part");
    QTest::newRow("ours, old, process gone") << ours << 61 << true << true;
    QTest::newRow("ours, 59 minutes old") << ours << 59 << true << false;
    QTest::newRow("ours, process running") << ours << 600 << false << false;
    QTest::newRow("ours, but a link") << "link" << 600 << true << false;
    QTest::newRow("no leading dot") << "snipwave-%1-k3x9a0.part" << 600 << true << false;
    QTest::newRow("another ending") << ".snipwave-%1-k3x9a0.part.mp3" << 600 << true << false;
}

void TestFileSafety::leftovers()
{
    QFETCH(QString, name);
    QFETCH(int, minutes);
    QFETCH(bool, processGone);
    QFETCH(bool, removed);
    const qint64 pid = processGone ? goneProcess() : qint64(::getppid());
    const bool link = name == QLatin1String("link");
    const QString path = m_dir.filePath(link ? QStringLiteral(".snipwave-%1-a.part").arg(pid)
                                             : name.contains(QLatin1String("%1")) ? name.arg(pid) : name);
    if (link)
        QVERIFY(QFile::link(m_song, path));
    else
        QVERIFY(!writeFile(path, "partial").isEmpty());
    QVERIFY(setTime(path, -minutes));

    AtomicFile file(m_dir.filePath(QStringLiteral("cut.mp3")));
    QVERIFY(file.open());
    QCOMPARE(QFileInfo(path).exists() || QFileInfo(path).isSymLink(), !removed);
    QCOMPARE(readAll(m_song), QByteArray("0123456789"));
}

// The list the handler reads: every file open now is on it, and finished
// ones leave it (or it would fill up and miss later ones).
void TestFileSafety::signalHandlerRemovesTemporaries()
{
    for (int i = 0; i < 40; ++i) {
        AtomicFile earlier(m_dir.filePath(QStringLiteral("earlier.mp3")));
        QVERIFY(earlier.open() && (i % 2 == 0 || earlier.commit()));
    }
    AtomicFile first(m_dir.filePath(QStringLiteral("first.mp3")));
    AtomicFile second(m_dir.filePath(QStringLiteral("second.mp3")));
    QVERIFY(first.open() && second.open());
    QCOMPARE(temporaries(m_dir.path()).size(), 2);

    AtomicFile::removeTemporariesNow();
    QCOMPARE(temporaries(m_dir.path()), QStringList());
    QVERIFY(!first.commit());
    QCOMPARE(first.errorString(), qt_error_string(ENOENT));
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
    const auto opens = [&] {
        SourceFile source;
        SourceFile control;
        if (!source.open(QDir(m_dir.path()).filePath(name)))
            return source.errorString() == reason && !source.isOpen() && control.open(m_song);
        return reason.isEmpty() && source.size() == 10 && source.file().readAll() == "0123456789";
    };
    QVERIFY(unprivileged ? asUnprivileged(opens) : opens());
}

// Output names that lead, one way or another, to the source itself.
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
    SourceFile source;
    QVERIFY(source.open(m_song));
    QCOMPARE(source.isSameFile(m_dir.filePath(name)), same);
}

void TestFileSafety::sourceUnchanged_data()
{
    QTest::addColumn<int>("newSize");   // -1: the size stays
    QTest::addColumn<int>("minutes");   // how far the time of change moves
    QTest::addColumn<bool>("unchanged");

    QTest::newRow("left alone") << -1 << 0 << true;
    QTest::newRow("truncated") << 4 << 0 << false;
    QTest::newRow("appended to") << 20 << 0 << false;
    QTest::newRow("rewritten in place") << -1 << 5 << false;
}

void TestFileSafety::sourceUnchanged()
{
    QFETCH(int, newSize);
    QFETCH(int, minutes);
    QFETCH(bool, unchanged);
    SourceFile source;
    QVERIFY(source.open(m_song) && source.unchanged());
    QVERIFY(newSize < 0 || QFile::resize(m_song, newSize));
    QVERIFY(minutes == 0 || setTime(m_song, minutes));
    QCOMPARE(source.unchanged(), unchanged);
}

// The real program stopped while it writes a long cut: the temporary file
// goes, nothing appears under the output name, and the exit status tells
// what stopped it.
void TestFileSafety::cutStopped_data()
{
    QTest::addColumn<int>("signal");   // 0: a file-size limit instead
    QTest::addColumn<int>("code");

    QTest::newRow("SIGINT") << int(SIGINT) << 130;
    QTest::newRow("SIGTERM") << int(SIGTERM) << 143;
    QTest::newRow("SIGHUP") << int(SIGHUP) << 129;
    QTest::newRow("SIGPIPE from another process") << int(SIGPIPE) << 141;
    QTest::newRow("SIGUSR1") << int(SIGUSR1) << 138;
    QTest::newRow("SIGALRM") << int(SIGALRM) << 142;
    QTest::newRow("a real-time signal") << int(SIGRTMIN + 3) << 128 + SIGRTMIN + 3;
    // These leave a core: the process ends by the signal itself.
    QTest::newRow("SIGQUIT") << int(SIGQUIT) << -1;
    QTest::newRow("SIGXCPU") << int(SIGXCPU) << -1;
    QTest::newRow("file-size limit") << 0 << 1;
}

void TestFileSafety::cutStopped()
{
    QFETCH(int, signal);
    QFETCH(int, code);
    const QString output = m_dir.filePath(QStringLiteral("cut.mp3"));
    QProcess process;
    // A file-size limit as the shell sets one; the program runs in its place.
    process.start(QStringLiteral("sh"), {"-c", QStringLiteral("ulimit -c 0; ulimit -f %1; exec \"$0\" \"$@\"").arg(signal == 0 ? "16384" : "unlimited"),
                                         SNIPWAVE_CUT_EXECUTABLE, m_big.filePath("long.mp3"), "-s", "1", "-e", "9:00:00", "-o", output});
    QVERIFY(process.waitForStarted());
    // Once the temporary file is there, the cut is under way.
    QElapsedTimer waited;
    waited.start();
    while (signal != 0 && temporaries(m_dir.path()).isEmpty() && process.state() == QProcess::Running && waited.elapsed() < 30000)
        QThread::usleep(200);
    if (signal != 0) {
        QVERIFY2(process.state() == QProcess::Running, "the cut ended before it could be stopped");
        QCOMPARE(::kill(pid_t(process.processId()), signal), 0);
    }
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitStatus(), code < 0 ? QProcess::CrashExit : QProcess::NormalExit);
    QCOMPARE(process.exitCode(), code < 0 ? signal : code);
    QCOMPARE(temporaries(m_dir.path()), QStringList());
    QVERIFY(!QFileInfo::exists(output));
    const QString complaint = QString::fromLocal8Bit(process.readAllStandardError());
    QVERIFY2(signal != 0 || complaint.contains(qt_error_string(EFBIG)), qPrintable(complaint));
}

// A link another user left in a shared folder (sticky, writable by all)
// under the output's name: the real program replaces the link, as mv would,
// or is refused; where the link points is never written.
void TestFileSafety::outputLinkReplaced_data()
{
    QTest::addColumn<int>("user");     // who runs the cut
    QTest::addColumn<bool>("batch");
    QTest::addColumn<int>("code");

    QTest::newRow("root cuts one piece") << 0 << false << 0;
    QTest::newRow("root cuts pieces with --overwrite") << 0 << true << 0;
    QTest::newRow("a user cuts one piece") << 65534 << false << 1;
    QTest::newRow("a user cuts pieces with --overwrite") << 65534 << true << 1;
}

void TestFileSafety::outputLinkReplaced()
{
    QFETCH(int, user);
    QFETCH(bool, batch);
    QFETCH(int, code);
    if (::geteuid() != 0)
        QSKIP("needs root, to act as two users");
    const QString shared = m_dir.filePath(QStringLiteral("shared"));
    const QString source = m_dir.filePath(QStringLiteral("tone.mp3"));
    const QString link = shared + QStringLiteral("/piece1.mp3");
    const QString target = m_dir.write(QStringLiteral("victim.mp3"), "the user's own file");
    const QByteArray linkName = QFile::encodeName(link);
    QVERIFY(QFile::copy(fixturePath(QStringLiteral("tone_440hz_2s.mp3")), source));
    QVERIFY(::mkdir(QFile::encodeName(shared).constData(), 0777) == 0
            && ::chmod(QFile::encodeName(shared).constData(), 01777) == 0
            && ::chmod(QFile::encodeName(source).constData(), 0644) == 0
            && ::chown(QFile::encodeName(target).constData(), uid_t(user), gid_t(user)) == 0
            && ::symlink(QFile::encodeName(target).constData(), linkName.constData()) == 0
            && ::lchown(linkName.constData(), 65533, 65533) == 0);

    const QStringList cut = batch ? QStringList{source, "--every", "1", "-d", shared, "--name", "piece{n}.mp3", "--overwrite"}
                                  : QStringList{source, "-s", "0", "-e", "1", "-o", link};
    QProcess process;
    process.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%1").arg(user), QStringLiteral("--regid=%1").arg(user),
                                                         "--clear-groups", SNIPWAVE_CUT_EXECUTABLE} + cut);
    QVERIFY(process.waitForFinished(60000));
    const QByteArray complaint = process.readAllStandardError();
    QVERIFY2(process.exitCode() == code, complaint.constData());
    QCOMPARE(readAll(target), QByteArray("the user's own file"));
    QCOMPARE(QFileInfo(link).isSymLink(), code != 0);
    QVERIFY(code != 0 || readAll(link).size() > 1000);
    QVERIFY2(code == 0 || complaint.contains(qt_error_string(EPERM).toLocal8Bit()), complaint.constData());
    QCOMPARE(temporaries(shared), QStringList());
}

// A batch that cannot go on (a piece too large for the file-size limit, a
// --json reader that went away) while a later piece is already done: the
// pieces written are the first ones, the message says which was the last,
// and nothing else is left.
void TestFileSafety::batchEndsEarly_data()
{
    QTest::addColumn<QString>("limit");   // ulimit -f, or "full" for a folder of 2 MB
    QTest::addColumn<bool>("readerLeaves");
    QTest::addColumn<QString>("reason");

    QTest::newRow("a piece passes the file-size limit") << "16384" << false << qt_error_string(EFBIG);
    QTest::newRow("the disk fills up") << "full" << false << qt_error_string(ENOSPC);
    QTest::newRow("the --json reader leaves") << "unlimited" << true << qt_error_string(EPIPE);
}

void TestFileSafety::batchEndsEarly()
{
    QFETCH(QString, limit);
    QFETCH(bool, readerLeaves);
    QFETCH(QString, reason);
    const QString list = m_dir.write(QStringLiteral("list.txt"), "0 1\n1 2\n2 3\n3 7:00:00\n7:00:00 7:00:01\n");
    const QString out = m_dir.filePath(QStringLiteral("out"));
    QVERIFY(QDir().mkdir(out));
    const bool full = limit == QLatin1String("full");
    if (full && QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=2m", "tmpfs", out}) != 0)
        QSKIP("needs a small file system: mount as root");
    const auto unmount = qScopeGuard([&] {
        if (full)
            QProcess::execute(QStringLiteral("umount"), {out});
    });
    QProcess process;
    // The reader of the JSON lines takes one and leaves.
    const QString reader = readerLeaves ? QStringLiteral(" | head -n 1") : QString();
    process.start(QStringLiteral("bash"), {"-o", "pipefail", "-c", QStringLiteral("ulimit -f %1; \"$0\" \"$@\"%2").arg(full ? "unlimited" : limit, reader),
                                           SNIPWAVE_CUT_EXECUTABLE, m_big.filePath("long.mp3"), "--ranges", list, "-d", out,
                                           "--name", "{n}.mp3", "--json"});
    QVERIFY(process.waitForFinished(60000));
    const QString complaint = QString::fromLocal8Bit(process.readAllStandardError());
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 1);
    const QStringList written = QDir(out).entryList(QDir::Files | QDir::Hidden, QDir::Name);
    QVERIFY2(!written.isEmpty() && written.size() < 5, qPrintable(written.join(' ')));
    for (int i = 0; i < written.size(); ++i)
        QCOMPARE(written.at(i), QStringLiteral("%1.mp3").arg(i + 1));
    QVERIFY2(complaint.contains(reason), qPrintable(complaint));
    QVERIFY2(complaint.contains(QStringLiteral("(%1 of 5 pieces written, the last %2)")
                                    .arg(written.size()).arg(QDir(out).filePath(written.constLast()))),
             qPrintable(complaint));
}

QTEST_GUILESS_MAIN(TestFileSafety)
#include "tst_filesafety.moc"
