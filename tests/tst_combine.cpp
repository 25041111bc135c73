#include "mp3splitter.h"
#include "testfiles.h"

#include <QtTest>

#include <QTemporaryDir>

class TestCombine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void attributes_data();
    void attributes();
    void combineEqualBitRates();
    void combineRefused_data();
    void combineRefused();
    void destroyedWhileTheServiceRuns();

private:
    QString musicDir() const { return m_home.filePath(QStringLiteral("music")); }
    QStringList combinedFiles() const;
    // Waits for combineCompleted and for the splitter to be back on this
    // thread with its service thread gone.
    int waitForCombine(Mp3Splitter &splitter, QSignalSpy &completed);

    QTemporaryDir m_home;
};

void TestCombine::initTestCase()
{
    QVERIFY(m_home.isValid());
    // The combined file goes to the home folder's "music" folder.
    qputenv("HOME", QFile::encodeName(m_home.path()));
}

void TestCombine::init()
{
    QDir(musicDir()).removeRecursively();
}

QStringList TestCombine::combinedFiles() const
{
    return QDir(musicDir()).entryList({QStringLiteral("Combined_*.mp3")}, QDir::Files);
}

int TestCombine::waitForCombine(Mp3Splitter &splitter, QSignalSpy &completed)
{
    const bool done = QTest::qWaitFor([&]() {
        return !completed.isEmpty() && splitter.thread() == QThread::currentThread()
            && splitter.findChildren<QThread *>().isEmpty();
    }, 10000);
    return done ? completed.last().at(0).toInt() : 1;
}

void TestCombine::attributes_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<qint64>("bitRate");
    QTest::addColumn<qint64>("sampleRate");
    QTest::addColumn<QString>("format");
    QTest::newRow("MPEG-1 Layer III") << fixturePath("crc_protected.mp3") << qint64(128) << qint64(44100)
                                      << "MPEG-1 Layer-3";
    QTest::newRow("MPEG-2 Layer III") << fixturePath("mpeg2_mono_22050.mp3") << qint64(32) << qint64(22050)
                                      << "MPEG-2 Layer-3";
    // No header: nothing is decoded from the reader's failure marker.
    QTest::newRow("missing file") << fixturePath("none.mp3") << qint64(-1) << qint64(-1) << QString();
}

// The query answers on its own thread, and its combine step, with no second
// file, reports different bitrates and writes nothing.
void TestCombine::attributes()
{
    QFETCH(QString, file);
    Mp3Splitter splitter;
    QSignalSpy bitRate(&splitter, &Mp3Splitter::bitRateGet);
    QSignalSpy sampleRate(&splitter, &Mp3Splitter::sampleRateGet);
    QSignalSpy format(&splitter, &Mp3Splitter::formatGet);
    QSignalSpy completed(&splitter, &Mp3Splitter::combineCompleted);

    QVERIFY(QMetaObject::invokeMethod(&splitter, "asyncGetFileAttribute", Q_ARG(QString, file)));
    QCOMPARE(waitForCombine(splitter, completed), -1);
    QCOMPARE(bitRate.count(), 1);
    QTEST(bitRate.at(0).at(0).value<qint64>(), "bitRate");
    QTEST(sampleRate.at(0).at(0).value<qint64>(), "sampleRate");
    QTEST(format.at(0).at(0).toString(), "format");
    QVERIFY(combinedFiles().isEmpty());
}

void TestCombine::combineEqualBitRates()
{
    const QString first = fixturePath("crc_protected.mp3");
    const QString second = fixturePath("vbr_xing.mp3"); // its Xing frame says 128 kbit/s too
    Mp3Splitter splitter;
    QSignalSpy completed(&splitter, &Mp3Splitter::combineCompleted);
    splitter.asyncGetFileAttribute(first);
    QCOMPARE(waitForCombine(splitter, completed), -1);

    completed.clear();
    QVERIFY(QMetaObject::invokeMethod(&splitter, "startCombineFiles", Q_ARG(QString, first),
                                      Q_ARG(QString, second)));
    QCOMPARE(waitForCombine(splitter, completed), 0);

    const QStringList files = combinedFiles();
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression(QStringLiteral("^Combined_\\d{6}\\.mp3$")).match(files.first()).hasMatch());
    QVERIFY(readAll(QDir(musicDir()).filePath(files.first())) == readAll(first) + readAll(second));
}

void TestCombine::combineRefused_data()
{
    QTest::addColumn<QString>("queried");
    QTest::addColumn<QString>("second");
    QTest::newRow("different bitrates") << fixturePath("crc_protected.mp3") << fixturePath("mpeg2_mono_22050.mp3");
    QTest::newRow("no header stored") << QString() << fixturePath("crc_protected.mp3");
    QTest::newRow("second file missing") << fixturePath("crc_protected.mp3") << fixturePath("none.mp3");
}

void TestCombine::combineRefused()
{
    QFETCH(QString, queried);
    QFETCH(QString, second);
    Mp3Splitter splitter;
    QSignalSpy completed(&splitter, &Mp3Splitter::combineCompleted);
    if (!queried.isEmpty()) {
        splitter.asyncGetFileAttribute(queried);
        QCOMPARE(waitForCombine(splitter, completed), -1);
        completed.clear();
    }
    splitter.startCombineFiles(fixturePath("crc_protected.mp3"), second);
    QCOMPARE(waitForCombine(splitter, completed), -1);
    QVERIFY(combinedFiles().isEmpty());
}

// Deleting the splitter while its service thread still runs must wait for the
// thread instead of destroying it running (which aborts the process).
void TestCombine::destroyedWhileTheServiceRuns()
{
    for (int round = 0; round < 3; ++round) {
        auto *splitter = new Mp3Splitter; // deleted below, while its thread is busy
        QSemaphore reached;
        connect(splitter, &Mp3Splitter::combineCompleted, splitter, [&reached](int) {
            reached.release();
            QThread::msleep(100);
        }, Qt::DirectConnection);
        splitter->startCombineFiles(fixturePath("crc_protected.mp3"), fixturePath("none.mp3"));
        QPointer<QThread> service = splitter->findChild<QThread *>();
        QVERIFY(service);
        QVERIFY(reached.tryAcquire(1, 10000));
        QVERIFY(service->isRunning());
        delete splitter;
        QVERIFY(!service);
    }
}

QTEST_GUILESS_MAIN(TestCombine)
#include "tst_combine.moc"
