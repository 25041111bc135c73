#include "engine.h"
#include "scan/mp3fileinfo.h"
#include "mp3splitter.h"
#include "musicplayer.h"

#include <QFileInfo>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <atomic>
#include <memory>

namespace {

const QDateTime fixedTime(QDate(2024, 1, 31), QTime(23, 59, 58));

QString toneFile()
{
    return QFileInfo(QStringLiteral(SNIPWAVE_TEST_DATA "/tone_440hz_2s.mp3")).absoluteFilePath();
}

// An engine set up for a cut of [start, end) ms of source into dir, with the
// clock fixed so that output names are known in advance.
std::unique_ptr<Engine> makeEngine(const QString &source, const QString &dir,
                                   qint64 start = 0, qint64 end = 1000)
{
    auto engine = std::make_unique<Engine>();
    engine->setClock([] { return fixedTime; });
    // No pauses between the cutter's messages: nobody reads them here.
    engine->setCutterFactory([] {
        auto *splitter = new Mp3Splitter;
        splitter->setMessagePause(0);
        return splitter;
    });
    engine->setSourceFile(source);
    engine->setSaveDir(dir);
    engine->setStartTime(start);
    engine->setEndTime(end);
    return engine;
}

} // namespace

class tst_Engine : public QObject
{
    Q_OBJECT

private slots:
    void outputName_data();
    void outputName();
    void cutterStateEmitsOnlyOnChange();
    void cutRunsOnWorker_data();
    void cutRunsOnWorker();
    void cutFollowsTheChosenMode_data();
    void cutFollowsTheChosenMode();
    void secondCutRefusedWhileRunning();
    void destroyedWithCutPending_data();
    void destroyedWithCutPending();
    void playersBelongToEngine();
};

void tst_Engine::outputName_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("expected");

    QTest::newRow("path") << "E:/music/song.mp3" << "D:/cuts/20240131_235958_song.mp3";
    QTest::newRow("no slash") << "song one.mp3" << "D:/cuts/20240131_235958_song one.mp3";
}

void tst_Engine::outputName()
{
    QFETCH(QString, source);
    QFETCH(QString, expected);

    auto engine = makeEngine(source, QStringLiteral("D:/cuts"));
    QVERIFY(engine->prepareSplit());
    QCOMPARE(engine->getOutputFile(), expected);

    // Preparing again names the file from the save directory afresh, with
    // the time of the new preparation.
    engine->setClock([] { return fixedTime.addSecs(2); });
    QVERIFY(engine->prepareSplit());
    QCOMPARE(engine->getOutputFile(), QString(expected).replace("20240131_235958", "20240201_000000"));
}

void tst_Engine::cutterStateEmitsOnlyOnChange()
{
    Engine engine;
    QSignalSpy spy(&engine, &Engine::cutterStateChanged);

    engine.setCutterState(Engine::IDEL);
    QCOMPARE(spy.count(), 0);
    engine.setCutterState(Engine::PLAYING);
    engine.setCutterState(Engine::PLAYING);
    QCOMPARE(spy.count(), 1);
    QCOMPARE(engine.getCutterState(), int(Engine::PLAYING));
    engine.setCutterState(Engine::IDEL);
    QCOMPARE(spy.count(), 2);
}

void tst_Engine::cutFollowsTheChosenMode_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QString>("headerFrame");
    QTest::newRow("whole frames of a CBR source") << int(CutRequest::WholeFrames) << "none";
    QTest::newRow("exact") << int(CutRequest::Exact) << "Info";
}

void tst_Engine::cutFollowsTheChosenMode()
{
    QFETCH(int, mode);
    QTemporaryDir tmp;
    auto engine = makeEngine(toneFile(), tmp.path(), 250, 1250);
    engine->setCutMode(CutRequest::Mode(mode));
    QSignalSpy finishedSpy(engine.get(), &Engine::splitThreadFinished);
    QVERIFY(engine->prepareSplit());
    QVERIFY(engine->startSplitThread());
    QVERIFY(finishedSpy.wait(10000));
    QCOMPARE(finishedSpy.at(0).at(0).toString(), QString());
    const Mp3FileInfo cut = Mp3FileInfo::read(engine->getOutputFile());
    QTEST(cut.headerFrame, "headerFrame");
    if (mode == CutRequest::Exact)
        QCOMPARE(cut.durationMs, 1000);
}

void tst_Engine::cutRunsOnWorker_data()
{
    QTest::addColumn<QString>("source");
    QTest::addColumn<bool>("dirExists");
    QTest::addColumn<QString>("error");

    QTest::newRow("success") << toneFile() << true << QString();
    QTest::newRow("missing source") << "/nonexistent/song.mp3" << true
                                    << "Canot find first frame header.";
    QTest::newRow("missing save dir") << toneFile() << false << "File creating failed. (No such file or directory)";
}

void tst_Engine::cutRunsOnWorker()
{
    QFETCH(QString, source);
    QFETCH(bool, dirExists);
    QFETCH(QString, error);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    const QString dir = dirExists ? tmp.path() : tmp.filePath("gone");
    auto engine = makeEngine(source, dir);
    engine->setCutterState(Engine::PLAYING);

    QSignalSpy savedSpy(engine.get(), &Engine::sendSavedFile);
    QSignalSpy finishedSpy(engine.get(), &Engine::splitThreadFinished);
    QSignalSpy stateSpy(engine.get(), &Engine::cutterStateChanged);
    QStringList order;
    connect(engine.get(), &Engine::sendSavedFile, this, [&] { order << "saved"; });
    connect(engine.get(), &Engine::splitThreadFinished, this, [&] { order << "finished"; });

    QVERIFY(engine->prepareSplit());
    QPointer<AudioCutAbstract> cutter = engine->getCutter();
    QVERIFY(cutter);
    std::atomic<QThread *> workThread{nullptr};
    connect(qobject_cast<Mp3Splitter *>(cutter.data()), &Mp3Splitter::currentState, cutter,
            [&] { workThread = QThread::currentThread(); }, Qt::DirectConnection);

    QVERIFY(engine->startSplitThread());
    QVERIFY(engine->isSplitRunning());
    QVERIFY(finishedSpy.wait(10000));

    QVERIFY(workThread.load() != nullptr);
    QVERIFY(workThread.load() != QThread::currentThread());
    const QString output = dir + "/20240131_235958_" + QFileInfo(source).fileName();
    QCOMPARE(savedSpy.count(), 1);
    QCOMPARE(savedSpy.at(0).at(0).toString(), output);
    QCOMPARE(finishedSpy.count(), 1);
    QCOMPARE(finishedSpy.at(0).at(0).toString(), error);
    QCOMPARE(order, QStringList({"saved", "finished"}));
    QCOMPARE(engine->getCutterState(), int(Engine::IDEL));
    QCOMPARE(stateSpy.count(), 0);
    QVERIFY(cutter.isNull());
    QVERIFY(!engine->getCutter());
    QVERIFY(!engine->isSplitRunning());
    QCOMPARE(QFileInfo(output).size() > 0, error.isEmpty());
    // Nothing to start until the next cut is prepared.
    QVERIFY(!engine->startSplitThread());
}

void tst_Engine::secondCutRefusedWhileRunning()
{
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    auto engine = makeEngine(toneFile(), tmp.path());
    QSignalSpy savedSpy(engine.get(), &Engine::sendSavedFile);
    QSignalSpy finishedSpy(engine.get(), &Engine::splitThreadFinished);

    QVERIFY(engine->prepareSplit());
    QPointer<AudioCutAbstract> first = engine->getCutter();
    const QString firstOutput = engine->getOutputFile();
    QVERIFY(engine->startSplitThread());

    // The cut takes over a second; all of this happens while it runs.
    engine->setClock([] { return fixedTime.addSecs(10); });
    engine->setSaveDir(tmp.filePath("elsewhere"));
    QVERIFY(engine->isSplitRunning());
    QVERIFY(!engine->prepareSplit());
    QVERIFY(!engine->startSplitThread());
    QVERIFY(first);
    QCOMPARE(engine->getCutter(), first.data());
    QCOMPARE(engine->getOutputFile(), firstOutput);

    QVERIFY(finishedSpy.wait(10000));
    QCOMPARE(savedSpy.count(), 1);
    QCOMPARE(savedSpy.at(0).at(0).toString(), firstOutput);
    QCOMPARE(finishedSpy.at(0).at(0).toString(), QString());
    QVERIFY(first.isNull());

    // Once it has ended the next cut goes ahead.
    engine->setSaveDir(tmp.path());
    QVERIFY(engine->prepareSplit());
    QVERIFY(engine->startSplitThread());
    QVERIFY(finishedSpy.wait(10000));
    QCOMPARE(savedSpy.count(), 2);
    QCOMPARE(savedSpy.at(1).at(0).toString(), tmp.path() + "/20240201_000008_tone_440hz_2s.mp3");
}

void tst_Engine::destroyedWithCutPending_data()
{
    QTest::addColumn<bool>("start");
    QTest::newRow("prepared, never started") << false;
    QTest::newRow("running") << true;
}

// The engine goes away with a cut prepared or half done: no crash, no
// leaked cutter, and a running cut is finished rather than left half-written.
void tst_Engine::destroyedWithCutPending()
{
    QFETCH(bool, start);

    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    auto engine = makeEngine(toneFile(), tmp.path());
    // The cutter's own pauses keep the cut running while the engine goes.
    engine->setCutterFactory({});
    QVERIFY(engine->prepareSplit());
    QPointer<AudioCutAbstract> cutter = engine->getCutter();
    const QString output = engine->getOutputFile();
    if (start) {
        QVERIFY(engine->startSplitThread());
        QTest::qWait(300);
        QVERIFY(engine->isSplitRunning());
    }
    engine.reset();
    QVERIFY(cutter.isNull());
    QCOMPARE(QFileInfo::exists(output), start);
    if (!start)
        return;

    // Same cut, run to its end by a living engine: the sizes agree.
    QTemporaryDir refDir;
    auto reference = makeEngine(toneFile(), refDir.path());
    QSignalSpy finishedSpy(reference.get(), &Engine::splitThreadFinished);
    QVERIFY(reference->prepareSplit());
    QVERIFY(reference->startSplitThread());
    QVERIFY(finishedSpy.wait(10000));
    QCOMPARE(QFileInfo(output).size(), QFileInfo(reference->getOutputFile()).size());
}

void tst_Engine::playersBelongToEngine()
{
    auto engine = std::make_unique<Engine>();
    engine->playSavedSeek(500); // no saved-file player yet: nothing to seek

    QSignalSpy stateSpy(engine.get(), &Engine::playerStateChanged);
    emit engine->getPlayer()->stateChanged(QMediaPlayer::PlayingState);
    QCOMPARE(stateSpy.count(), 1);

    QPointer<MusicPlayer> player = engine->getPlayer();
    QPointer<QMediaPlayer> saved = engine->getSavedPlayer();
    QVERIFY(saved);
    QCOMPARE(engine->getSavedPlayer(), saved.data());
    engine.reset();
    QVERIFY(player.isNull());
    QVERIFY(saved.isNull());
}

QTEST_GUILESS_MAIN(tst_Engine)
#include "tst_engine.moc"
