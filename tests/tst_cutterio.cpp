#include "io/atomicfile.h"
#include "io/bufferedsource.h"
#include "mp3splitter.h"
#include "mp3streambuilder.h"
#include "io/rangecopier.h"
#include "scan/offsetlist.h"
#include "testfiles.h"

#include <QtTest>

#include <QBuffer>
#include <QRandomGenerator>

#include <sys/stat.h>
#include <unistd.h>

// The cutter's file access: the read window over mapped and unmapped files,
// the file-to-file copy, and the output that appears only when complete.
class TestCutterIo : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void windowReadsTheFile_data();
    void windowReadsTheFile();
    void shrunkFileReadsAsZeros();
    void sourceShrinksDuringTheCut();

    void copierCopiesRanges_data();
    void copierCopiesRanges();
    void copierFailsWhenTheSourceEnds();

    void offsetsPastFourGiB_data();
    void offsetsPastFourGiB();

    void atomicFileNew();
    void atomicFileReplaces();
    void atomicFileKeepsTheOldUntilCommit();
    void atomicFileReplacesALink_data();
    void atomicFileReplacesALink();
    void atomicFileRefuses_data();
    void atomicFileRefuses();

private:
    static QByteArray randomBytes(int size, quint32 seed);

    ScratchFolder m_dir;
};

void TestCutterIo::init()
{
    QVERIFY(m_dir.renew());
}

QByteArray TestCutterIo::randomBytes(int size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    QRandomGenerator random(seed);
    for (char &c : bytes)
        c = char(random.bounded(256));
    return bytes;
}

// Fills at random places, near window edges and past the end return exactly
// the file's bytes, mapped or read in blocks.
void TestCutterIo::windowReadsTheFile_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<bool>("mapped");
    QTest::addColumn<bool>("fromFile");

    for (int size : {0, 1, 3, 4095, 4096, 4097, 300000, 9 * 1024 * 1024 + 123}) {
        QTest::addRow("%d bytes, mapped", size) << size << true << true;
        QTest::addRow("%d bytes, file read in blocks", size) << size << false << true;
        QTest::addRow("%d bytes, buffer read in blocks", size) << size << false << false;
    }
}

void TestCutterIo::windowReadsTheFile()
{
    QFETCH(int, size);
    QFETCH(bool, mapped);
    QFETCH(bool, fromFile);
    const QByteArray bytes = randomBytes(size, quint32(size));
    QFile file(m_dir.write(QStringLiteral("data.bin"), bytes));
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QBuffer buffer;
    buffer.setData(bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const int capacity = 64 * 1024;
    BufferedSource source(fromFile ? static_cast<QIODevice *>(&file) : &buffer, capacity,
                          mapped ? BufferedSource::Access::Mapped : BufferedSource::Access::Blocks);
    QCOMPARE(source.isMapped(), mapped && size > 0);

    QRandomGenerator random(7);
    QVector<QPair<qint64, int>> fills = {{0, 10}, {0, capacity}, {0, 3 * capacity + 5}, {qint64(size) - 1, 4},
                                         {size, 4}, {qint64(size) + 100, 4}, {-1, 4}, {0, -1}};
    // A walk forwards in steps of a frame, then random jumps both ways.
    for (qint64 pos = 0; pos < size && fills.size() < 3000; pos += 417 + random.bounded(2))
        fills.append({pos, random.bounded(4, 2882)});
    for (int i = 0; i < 300; ++i)
        fills.append({random.bounded(size + 10), random.bounded(i % 10 ? capacity + 1 : 4 * capacity)});

    for (const auto &fill : qAsConst(fills)) {
        const qint64 pos = fill.first;
        const int n = fill.second;
        const int expected = pos < 0 ? 0 : int(qBound<qint64>(0, size - pos, qMax(n, 0)));
        const int got = source.fill(pos, n);
        QCOMPARE(got, expected);
        if (got > 0)
            QVERIFY2(QByteArray(source.data(pos), got) == bytes.mid(int(pos), got),
                     qPrintable(QStringLiteral("at %1, %2 bytes").arg(pos).arg(n)));
    }
    QVERIFY(!source.sourceTruncated());
}

// A mapped file that shrinks under the reader would end the process with
// SIGBUS; the lost bytes read as zeros instead.
void TestCutterIo::shrunkFileReadsAsZeros()
{
    const QByteArray bytes = randomBytes(3 * 1024 * 1024, 3);
    const QString path = m_dir.write(QStringLiteral("data.bin"), bytes);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    BufferedSource source(&file);
    QVERIFY(source.isMapped());
    // Walk far enough for the window to cover the second megabyte.
    for (qint64 pos = 0; pos < 1500000; pos += 100000)
        QCOMPARE(source.fill(pos, 4), 4);
    QCOMPARE(source.fill(2000000, 100), 100);

    QVERIFY(QFile::resize(path, 4096));
    QCOMPARE(QByteArray(source.data(2000000), 100), QByteArray(100, '\0'));
    QVERIFY(source.sourceTruncated());
    // What is still in the file reads as before.
    QCOMPARE(source.fill(100, 100), 100);
    QCOMPARE(QByteArray(source.data(100), 100), bytes.mid(100, 100));
}

// The source cut short while the frames are copied: the cut either ends
// with the whole frames that could be copied or fails without an output.
void TestCutterIo::sourceShrinksDuringTheCut()
{
    const Mp3StreamBuilder s = Mp3StreamBuilder().frames(20000, 0xFB, 0x90);
    for (int keep : {4096, 2000000, 4000000, 6000000}) {
        const QString input = m_dir.write(QStringLiteral("source.mp3"), s.bytes);
        const QString output = m_dir.filePath(QStringLiteral("cut.mp3"));
        QFile::remove(output);
        Mp3Splitter splitter;
        splitter.setMessagePause(0);
        connect(&splitter, &Mp3Splitter::currentSaveProgress, this, [&](int i) {
            if (i == 1)
                QFile::resize(input, keep);
        }, Qt::DirectConnection);
        const int code = splitter.split(1000000, 500000000, input, output);
        QVERIFY2(code == 0 || code == Mp3Splitter::OutputCreateFailed, qPrintable(QString::number(code)));
        if (code != 0) {
            QVERIFY(!QFileInfo::exists(output));
            continue;
        }
        const QByteArray cut = readAll(output);
        const QByteArray all = s.framesBytes(38, 20000);
        QVERIFY(all.startsWith(cut));
        const int frames = s.offsets.indexOf(s.offsets[38] + cut.size()) - 38;
        QVERIFY2(frames >= 0 || s.offsets[38] + cut.size() == s.bytes.size(), "the cut ends inside a frame");
    }
}

// Ranges of a source appended to a target: the kernel's copy, and the
// buffered one where the kernel refuses (a target opened for appending).
void TestCutterIo::copierCopiesRanges_data()
{
    QTest::addColumn<bool>("append");
    QTest::newRow("in the kernel") << false;
    QTest::newRow("through a buffer") << true;
}

void TestCutterIo::copierCopiesRanges()
{
    QFETCH(bool, append);
    const QByteArray bytes = randomBytes(5 * 1024 * 1024, 11);
    QFile source(m_dir.write(QStringLiteral("source.bin"), bytes));
    QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    const QString targetPath = m_dir.write(QStringLiteral("target.bin"), "head");
    QFile target(targetPath);
    QVERIFY(target.open((append ? QIODevice::Append : QIODevice::ReadWrite) | QIODevice::Unbuffered));
    QVERIFY(target.seek(append ? 0 : 4));

    QByteArray expected = "head";
    RangeCopier copier(source, target);
    qint64 offset = 1000;
    QRandomGenerator random(5);
    // Runs of neighbouring ranges longer than the copier's run limit, with
    // gaps, empty ranges and a jump backwards between them.
    for (int i = 0; i < 12000 && offset < bytes.size() - 3000; ++i) {
        const int length = random.bounded(0, 600);
        if (i % 1000 == 999)
            offset += random.bounded(1, 50);
        if (i == 6000)
            offset = 10;
        QVERIFY(copier.append(offset, length));
        expected += bytes.mid(int(offset), length);
        offset += length;
    }
    QVERIFY(copier.flush());
    QVERIFY(copier.flush());
    target.close();
    const QByteArray written = readAll(targetPath);
    QCOMPARE(written.size(), expected.size());
    QVERIFY(written == expected);
}

void TestCutterIo::copierFailsWhenTheSourceEnds()
{
    QFile source(m_dir.write(QStringLiteral("source.bin"), randomBytes(10000, 1)));
    QVERIFY(source.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
    QFile target(m_dir.filePath(QStringLiteral("target.bin")));
    QVERIFY(target.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
    RangeCopier copier(source, target);
    QVERIFY(copier.append(9000, 2000));
    QVERIFY(!copier.flush());
}

void TestCutterIo::atomicFileNew()
{
    const QString path = m_dir.filePath(QStringLiteral("new.mp3"));
    const mode_t mask = umask(022);
    umask(mask);
    {
        AtomicFile file(path);
        QVERIFY(file.open());
        QCOMPARE(file.file().write("content"), qint64(7));
        QVERIFY(!QFileInfo::exists(path));
        QVERIFY(file.commit());
    }
    QCOMPARE(readAll(path), QByteArray("content"));
    struct stat info = {};
    QCOMPARE(stat(QFile::encodeName(path).constData(), &info), 0);
    QCOMPARE(info.st_mode & 0777, 0666 & ~mask);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("new.mp3")});
}

// The old file is replaced, not written over: a second link to it still
// sees the old content, and the name keeps the old file's permissions.
void TestCutterIo::atomicFileReplaces()
{
    const QString path = m_dir.write(QStringLiteral("cut.mp3"), "old content");
    const QString other = m_dir.filePath(QStringLiteral("other-link.mp3"));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0640), 0);

    for (bool sync : {false, true}) {
        AtomicFile file(path);
        file.setSyncToDisk(sync);
        QVERIFY(file.open());
        file.file().write(sync ? "synced" : "new");
        QVERIFY(file.commit());
        QCOMPARE(readAll(path), QByteArray(sync ? "synced" : "new"));
    }
    QCOMPARE(readAll(other), QByteArray("old content"));
    QCOMPARE(QFileInfo(path).permissions() & 0x7777,
             QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadUser | QFileDevice::WriteUser
                 | QFileDevice::ReadGroup);
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

void TestCutterIo::atomicFileKeepsTheOldUntilCommit()
{
    const QString path = m_dir.write(QStringLiteral("cut.mp3"), "old content");
    {
        AtomicFile file(path);
        QVERIFY(file.open());
        file.file().write("half a new fi");
        QCOMPARE(readAll(path), QByteArray("old content"));
    }
    QCOMPARE(readAll(path), QByteArray("old content"));
    {
        AtomicFile file(path);
        QVERIFY(file.open());
        file.file().write("abandoned");
        file.discard();
        QVERIFY(!file.commit());
    }
    QCOMPARE(readAll(path), QByteArray("old content"));
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("cut.mp3")});
}

// The name given is replaced, as mv replaces it; where a link under it
// points stays as it was.
void TestCutterIo::atomicFileReplacesALink_data()
{
    QTest::addColumn<QStringList>("chain"); // each a link to the next, the last where they end

    QTest::newRow("a link") << QStringList{"link.mp3", "target.mp3"};
    QTest::newRow("a chain of links") << QStringList{"link.mp3", "link2.mp3", "target.mp3"};
    QTest::newRow("a dangling link") << QStringList{"link.mp3", "gone.mp3"};
}

void TestCutterIo::atomicFileReplacesALink()
{
    QFETCH(QStringList, chain);
    const QString target = m_dir.write(QStringLiteral("target.mp3"), "old");
    for (int i = 0; i + 1 < chain.size(); ++i)
        QCOMPARE(::symlink(QFile::encodeName(chain.at(i + 1)).constData(),
                           QFile::encodeName(m_dir.filePath(chain.at(i))).constData()), 0);
    AtomicFile file(m_dir.filePath(chain.first()));
    QVERIFY(file.open());
    file.file().write("new");
    QVERIFY(file.commit());
    QVERIFY(!QFileInfo(m_dir.filePath(chain.first())).isSymLink());
    QCOMPARE(readAll(m_dir.filePath(chain.first())), QByteArray("new"));
    QCOMPARE(readAll(target), QByteArray("old"));
    QVERIFY(!QFileInfo::exists(m_dir.filePath(QStringLiteral("gone.mp3"))));
    for (const QString &link : chain.mid(1, chain.size() - 2))
        QVERIFY(QFileInfo(m_dir.filePath(link)).isSymLink());
}

void TestCutterIo::atomicFileRefuses_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("a folder") << "folder";
    QTest::newRow("in a missing folder") << "missing/cut.mp3";
    QTest::newRow("no name") << "";
}

void TestCutterIo::atomicFileRefuses()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
    AtomicFile file(name.isEmpty() ? QString() : m_dir.filePath(name));
    QVERIFY(!file.open());
    QVERIFY(!file.commit());
    QVERIFY(QFileInfo(m_dir.filePath(QStringLiteral("folder"))).isDir());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestCutterIo::offsetsPastFourGiB_data()
{
    QTest::addColumn<QVector<qint64>>("offsets");
    const qint64 gib4 = qint64(1) << 32;
    QTest::newRow("below 4 GiB") << QVector<qint64>{0, 417, gib4 - 1};
    QTest::newRow("across one boundary") << QVector<qint64>{gib4 - 418, gib4, gib4 + 418};
    QTest::newRow("across several") << QVector<qint64>{100, gib4 - 1, 2 * gib4 + 5, 3 * gib4 + 7, 3 * gib4 + 9};
    QTest::newRow("starting past 8 GiB") << QVector<qint64>{2 * gib4 + 1, 2 * gib4 + 4096};
}

// Checkpoints keep four bytes each, whatever the size of the source.
void TestCutterIo::offsetsPastFourGiB()
{
    QFETCH(QVector<qint64>, offsets);
    OffsetList list;
    list.reserve(2);
    for (qint64 offset : qAsConst(offsets))
        list.append(offset);
    QCOMPARE(list.size(), offsets.size());
    for (int i = 0; i < offsets.size(); ++i)
        QCOMPARE(list.at(i), offsets.at(i));
}

QTEST_GUILESS_MAIN(TestCutterIo)
#include "tst_cutterio.moc"
