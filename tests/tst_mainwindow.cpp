// The real main window end to end, on one window that lives through all the
// test functions (they run in order and build on each other): a sandboxed
// home and configuration, a real MP3 made here, real playback through the
// multimedia back end and real cuts on the engine's worker thread.

#include "audiocutabstract.h"
#include "engine.h"
#include "mp3splitter.h"
#include "mainwindow.h"
#include "mp3streambuilder.h"
#include "musicplayer.h"
#include "operation.h"
#include "selectbar.h"
#include "stylesheetreader.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStatusBar>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextEdit>
#include <QThread>
#include <QTimeEdit>
#include <QTimer>
#include <QUrl>

#include <functional>
#include <memory>

namespace {

// Called on every turn of the event loop with the active modal widget (or
// null) until it returns true; armed before the click that opens the dialog.
class ModalDriver : public QObject
{
public:
    explicit ModalDriver(std::function<bool(QWidget *)> step)
        : step(std::move(step))
    {
        connect(&timer, &QTimer::timeout, this, [this] {
            if (this->step(QApplication::activeModalWidget()))
                timer.stop();
        });
        timer.start(0);
    }
    bool finished() const { return !timer.isActive(); }

private:
    std::function<bool(QWidget *)> step;
    QTimer timer;
};

// Clicks `button` of the next modal dialog, after noting its text.
std::unique_ptr<ModalDriver> answerNextDialog(const char *button, QString *text = nullptr)
{
    return std::make_unique<ModalDriver>([button, text](QWidget *modal) {
        if (!modal)
            return false;
        if (text)
            *text = modal->findChild<QTextEdit *>()->toPlainText();
        modal->findChild<QPushButton *>(QLatin1String(button))->click();
        return true;
    });
}

// Stands in for the desktop's file manager: takes the URLs the window
// asks the desktop to open.
class UrlCatcher : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls.append(url); }
};

QString mark(int ms)
{
    return MusicPlayer::durationText(ms);
}

// The frame boundary nearest a time in the source, where a cut begins or
// ends: MPEG-1 Layer III at 44100 Hz has 1152 samples a frame.
int frameAt(qint64 ms)
{
    return int((ms * 44100 / 1000 + 576) / 1152);
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();

    void opensWithHistoryEntry();
    void timeFieldsWithoutDurationLeaveHandles();
    void playsAndPauses();
    void timeFieldsMarkThePiece_data();
    void timeFieldsMarkThePiece();
    void handleAndScissorsFillTheFields();
    void refusesCut_data();
    void refusesCut();
    void cutListsAndPlaysTheNewFile();
    void playButtonOfPlayingRowStops();
    void newerCutGoesOnTopAndPlaysToItsEnd();
    void cutIntoOtherFolderPlaysTheNewFile();
    void failedCutListsNothing();
    void secondCutWaitsForTheRunningOne();
    void themeReachesWidgets_data();
    void themeReachesWidgets();
    void clearDeletesCheckedFiles();
    void openSaveDirShowsTheFolder();
    void closeWritesSettings();
    void exitWritesSettings();
    void cleanup();

private:
    template<typename T>
    T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    void setMarks(int startMs, int endMs);
    void cut(int startMs, int endMs, QString *path);
    QByteArray expectedCut(int startMs, int endMs) const;
    Operation *operationAt(int row) const;
    QString pathAt(int row) const;
    int rowOfPath(const QString &path) const;
    bool cutterControlsEnabled() const;
    int handleX(int ms, bool endHandle) const;

    QTemporaryDir sandbox;
    QString source;
    QString saveDir;
    QString settingsFile;
    QString longCut; // 5 s: still playing when the test comes to it
    Mp3StreamBuilder frames;
    std::unique_ptr<MainWindow> window;
    Engine *engine = nullptr;
    QTableWidget *table = nullptr;
    QLineEdit *saveTo = nullptr;
    QPushButton *preview = nullptr, *leftHandle = nullptr, *rightHandle = nullptr;
    QTimeEdit *startField = nullptr, *endField = nullptr;
};

void TestMainWindow::initTestCase()
{
    QVERIFY(sandbox.isValid());
    qputenv("HOME", QFile::encodeName(sandbox.filePath("home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.filePath("config")));
    QVERIFY(QDir().mkpath(sandbox.filePath("home/music")));
    QVERIFY(QDir().mkpath(sandbox.filePath("home/cuts")));
    QVERIFY(QDir().mkpath(sandbox.filePath("config/snipwave")));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.4"));
    // The window is closed in the middle of the run; the test goes on.
    qApp->setQuitOnLastWindowClosed(false);

    // About 8 s of audio: a small tag, then the tone's audio frames four
    // times over. Its Info frame stays out, so players measure the frames.
    QFile tone(QStringLiteral(SNIPWAVE_TEST_DATA "/tone_440hz_2s.mp3"));
    QVERIFY(tone.open(QIODevice::ReadOnly));
    const QByteArray toneBytes = tone.readAll();
    frames.tag(64);
    for (int round = 0; round < 4; ++round) {
        int offset = Mp3StreamBuilder::frameLength(quint8(toneBytes[1]), quint8(toneBytes[2]));
        while (offset + 4 <= toneBytes.size()) {
            const int length = Mp3StreamBuilder::frameLength(quint8(toneBytes[offset + 1]), quint8(toneBytes[offset + 2]));
            frames.offsets.append(frames.bytes.size());
            frames.lengths.append(length);
            frames.raw(toneBytes.mid(offset, length));
            offset += length;
        }
    }
    source = sandbox.filePath("home/music/tone 8s.mp3");
    QFile out(source);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(frames.bytes);
    out.close();

    // A history with a repeated and an empty entry, as a hand-edited file
    // may hold.
    saveDir = sandbox.filePath("home/cuts");
    settingsFile = sandbox.filePath("config/snipwave/settings.json");
    const QJsonObject operation{{"OpenHistoryList", QJsonArray{source, "", source, "/gone/old.mp3"}},
                                {"SavePath", saveDir}};
    QFile settings(settingsFile);
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(QJsonDocument(QJsonObject{{"Common", QJsonObject{{"Operation", operation}}}}).toJson());
    settings.close();

    window = std::make_unique<MainWindow>();
    window->resetUi();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    engine = window->findChild<Engine *>();
    table = child<QTableWidget>("tableWidget");
    saveTo = child<QLineEdit>("lineEdit_saveTo");
    preview = child<QPushButton>("pushButton_preview");
    leftHandle = child<QPushButton>("pushButtonLeftHandle");
    rightHandle = child<QPushButton>("pushButtonRightHandle");
    startField = child<QTimeEdit>("timeEdit_start");
    endField = child<QTimeEdit>("timeEdit_end");
    QVERIFY(engine && table && saveTo && preview && leftHandle && rightHandle && startField && endField);
    // Cuts without the pauses that let a person read the cutter's messages.
    engine->setCutterFactory([] {
        auto *splitter = new Mp3Splitter;
        splitter->setMessagePause(0);
        return splitter;
    });
}

void TestMainWindow::cleanupTestCase()
{
    window.reset();
}

// Tests that save elsewhere leave the usual folder behind them, also when
// they fail half-way.
void TestMainWindow::cleanup()
{
    saveTo->setText(saveDir);
}

void TestMainWindow::setMarks(int startMs, int endMs)
{
    startField->setTime(QTime(0, 0));
    endField->setTime(QTime(0, 0));
    startField->setTime(QTime(0, 0).addMSecs(startMs));
    endField->setTime(QTime(0, 0).addMSecs(endMs));
}

// A cut that succeeds: the waiting dialog must close by itself while the
// cutter works on another thread. Gives the listed path.
void TestMainWindow::cut(int startMs, int endMs, QString *path)
{
    setMarks(startMs, endMs);
    const int rows = table->rowCount();
    bool onWorker = false;
    ModalDriver watch([&](QWidget *modal) {
        if (!modal)
            return false;
        onWorker = engine->getCutter() && engine->getCutter()->thread() != qApp->thread();
        return true;
    });
    QTest::mouseClick(preview, Qt::LeftButton);
    QVERIFY(watch.finished());
    QVERIFY(onWorker);
    QCOMPARE(table->rowCount(), rows + 1);
    *path = engine->getOutputFile();
}

QByteArray TestMainWindow::expectedCut(int startMs, int endMs) const
{
    return frames.framesBytes(frameAt(startMs), frameAt(endMs) - frameAt(startMs));
}

Operation *TestMainWindow::operationAt(int row) const
{
    return qobject_cast<Operation *>(table->cellWidget(row, 1));
}

QString TestMainWindow::pathAt(int row) const
{
    return table->item(row, 3)->text();
}

int TestMainWindow::rowOfPath(const QString &path) const
{
    for (int row = 0; row < table->rowCount(); ++row) {
        if (pathAt(row) == path)
            return row;
    }
    return -1;
}

bool TestMainWindow::cutterControlsEnabled() const
{
    return child<QGroupBox>("groupBox")->isEnabled() && preview->isEnabled();
}

// Where the selection bar puts a handle for a time, within the bar.
int TestMainWindow::handleX(int ms, bool endHandle) const
{
    const int span = child<SelectBar>("widgetSelectBar")->width() - 38;
    const double fraction = qMin(1.0, ms / double(engine->getPlayer()->getDuration()));
    return int(span * float(fraction)) + (endHandle ? 20 : 0);
}

void TestMainWindow::opensWithHistoryEntry()
{
    auto *box = child<QComboBox>("lineEdit_CurrentFile");
    QCOMPARE(box->count(), 2);
    QCOMPARE(box->currentText(), source);
    QCOMPARE(box->itemText(1), QStringLiteral("/gone/old.mp3"));
    QCOMPARE(engine->getPlayer()->getFile(), source);
    QCOMPARE(saveTo->text(), saveDir);
    QCOMPARE(window->windowTitle(), QStringLiteral("Snipwave v1.0.4"));
    QCOMPARE(window->minimumSize(), QSize(720, 460));
    QCOMPARE(window->maximumSize(), window->minimumSize());
    QVERIFY(child<QPushButton>("pushButton_play")->isEnabled());
    QVERIFY(!startField->isEnabled());
    QVERIFY(!child<SelectBar>("widgetSelectBar")->isEnabled());
    QVERIFY(!preview->isEnabled());
    QVERIFY(child<QLabel>("label_passedTime")->isHidden());
}

// Before any media the player knows no duration: the handles stay put
// instead of being sent to a position computed from a division by zero.
void TestMainWindow::timeFieldsWithoutDurationLeaveHandles()
{
    QCOMPARE(engine->getPlayer()->getDuration(), qint64(0));
    const QPoint leftAt = leftHandle->pos();
    const QPoint rightAt = rightHandle->pos();
    setMarks(2000, 4000);
    QCOMPARE(engine->getStartTime(), qint64(2000));
    QCOMPARE(engine->getEndTime(), qint64(4000));
    QCOMPARE(leftHandle->pos(), leftAt);
    QCOMPARE(rightHandle->pos(), rightAt);
    window->resetUi();
}

void TestMainWindow::playsAndPauses()
{
    auto *play = child<QPushButton>("pushButton_play");
    QTest::mouseClick(play, Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(engine->getPlayer()->state(), QMediaPlayer::PlayingState, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(engine->getPlayer()->getDuration() > 7000, 10000);
    QVERIFY(cutterControlsEnabled());
    QCOMPARE(window->statusBar()->findChild<QLabel *>()->text(), QStringLiteral("Now is playing"));
    QCOMPARE(child<QLabel>("label_duration")->text(), mark(int(engine->getPlayer()->getDuration())));
    QCOMPARE(play->toolTip(), QStringLiteral("Pause"));

    QTest::mouseClick(play, Qt::LeftButton);
    QTRY_COMPARE(engine->getPlayer()->state(), QMediaPlayer::PausedState);
    QCOMPARE(play->toolTip(), QStringLiteral("Continue to play"));
}

void TestMainWindow::timeFieldsMarkThePiece_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<int>("endInForce");
    QTest::addColumn<QString>("length");

    QTest::newRow("piece") << 1500 << 4250 << 4250 << mark(2750);
    QTest::newRow("end before start jumps back") << 3000 << 1000 << 3000 << mark(0);
    QTest::newRow("end beyond the audio") << 1000 << 60000 << 60000 << mark(59000);
    QTest::newRow("start beyond the audio") << 60000 << 61000 << 61000 << mark(1000);
}

// Fields, engine, label and both handles agree after every change.
void TestMainWindow::timeFieldsMarkThePiece()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, endInForce);
    QFETCH(QString, length);

    engine->setCutterState(Engine::PLAYING);
    setMarks(start, end);
    QCOMPARE(engine->getStartTime(), qint64(start));
    QCOMPARE(engine->getEndTime(), qint64(endInForce));
    QCOMPARE(endField->time(), QTime(0, 0).addMSecs(endInForce));
    QCOMPARE(child<QLabel>("label_cuttingLength")->text(), length);
    QCOMPARE(engine->getCutterState(), int(Engine::IDEL));
    QCOMPARE(leftHandle->x(), handleX(start, false));
    QCOMPARE(rightHandle->x(), handleX(endInForce, true));
}

void TestMainWindow::handleAndScissorsFillTheFields()
{
    setMarks(0, 0);
    auto *bar = child<SelectBar>("widgetSelectBar");
    QWindow *handle = window->windowHandle();
    const int span = bar->width() - 38;
    const QPoint grip(5, 10);
    QTest::mousePress(handle, Qt::LeftButton, {}, rightHandle->mapTo(window.get(), grip));
    QTest::mouseMove(handle, bar->mapTo(window.get(), QPoint(300 + grip.x(), 10)));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, bar->mapTo(window.get(), QPoint(300 + grip.x(), 10)));
    const auto endMs = qint64((long double)engine->getPlayer()->getDuration() * float(double(300 - 19) / span));
    QCOMPARE(engine->getEndTime(), endMs);
    QCOMPARE(endField->time(), QTime(0, 0).addMSecs(int(endMs)));
    QCOMPARE(child<QLabel>("label_cuttingLength")->text(), mark(int(endMs)));
    QCOMPARE(rightHandle->x(), 300); // not moved back by the field

    engine->getPlayer()->setPosition(2500);
    QTRY_VERIFY(qAbs(engine->getPlayer()->position() - 2500) < 100);
    const qint64 at = engine->getPlayer()->position();
    QTest::mouseClick(child<QPushButton>("pushButton_start"), Qt::LeftButton);
    QCOMPARE(engine->getStartTime(), at);
    QCOMPARE(startField->time(), QTime(0, 0).addMSecs(int(at)));
}

void TestMainWindow::refusesCut_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("notice");

    const QString tooShort = QStringLiteral("Split time can not less than 1 secons.");
    QTest::newRow("start equals end") << 2000 << 2000 << "cuts" << tooShort;
    QTest::newRow("999 ms") << 2000 << 2999 << "cuts" << tooShort;
    QTest::newRow("missing save folder") << 1000 << 3000 << "gone"
                                         << "Save path is not existed.Please set correct save path.";
}

void TestMainWindow::refusesCut()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(QString, folder);
    QFETCH(QString, notice);

    saveTo->setText(sandbox.filePath("home/" + folder));
    QCOMPARE(saveTo->styleSheet(), QString(QDir(saveTo->text()).exists() ? "color:black" : "color:red"));
    setMarks(start, end);
    QString shown;
    auto driver = answerNextDialog("pushButtonConfirm", &shown);
    QTest::mouseClick(preview, Qt::LeftButton);
    QVERIFY(driver->finished());
    QCOMPARE(shown, notice);
    QVERIFY(!engine->isSplitRunning());
    QCOMPARE(table->rowCount(), 0);
}

void TestMainWindow::cutListsAndPlaysTheNewFile()
{
    QString path;
    cut(1000, 6000, &path);
    if (QTest::currentTestFailed())
        return;
    longCut = path;
    QCOMPARE(QFileInfo(path).path(), saveDir);
    QCOMPARE(pathAt(0), path);
    QVERIFY(!(table->item(0, 3)->flags() & Qt::ItemIsEditable));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), expectedCut(1000, 6000));

    // The preview: the saved-file player plays the row, the window waits.
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::PlayingState);
    QCOMPARE(engine->getCutterState(), int(Engine::PLAYING));
    QVERIFY(!cutterControlsEnabled());
    QTRY_COMPARE(engine->getPlayer()->state(), QMediaPlayer::PausedState);
    QVERIFY(table->cellWidget(0, 2)->isEnabled());
}

void TestMainWindow::playButtonOfPlayingRowStops()
{
    QTest::mouseClick(operationAt(0)->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::StoppedState);
    QCOMPARE(engine->getCutterState(), int(Engine::IDEL));
    QVERIFY(cutterControlsEnabled());
    QVERIFY(!table->cellWidget(0, 2)->isEnabled());
    QCOMPARE(qobject_cast<QSlider *>(table->cellWidget(0, 2))->value(), 0);
}

// Exactly one second is long enough; the new file sorts above the older one
// of the same folder, plays, and at its end the window is free again.
void TestMainWindow::newerCutGoesOnTopAndPlaysToItsEnd()
{
    const QString older = pathAt(0);
    QTRY_VERIFY_WITH_TIMEOUT(QDateTime::currentDateTime().toString("yyyyMMdd_HHmmss_") != QFileInfo(older).fileName().left(16), 2000);
    QString path;
    cut(3000, 4000, &path);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(pathAt(0), path);
    QCOMPARE(pathAt(1), older);
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::PlayingState);
    QTRY_COMPARE_WITH_TIMEOUT(engine->getCutterState(), int(Engine::IDEL), 10000);
    QVERIFY(cutterControlsEnabled());
}

// A folder whose path sorts below the first one: the new row is not on top,
// and it is still the new file that plays and that its button stops.
void TestMainWindow::cutIntoOtherFolderPlaysTheNewFile()
{
    QVERIFY(QDir().mkpath(sandbox.filePath("a-cuts")));
    saveTo->setText(sandbox.filePath("a-cuts"));
    QString path;
    cut(1000, 4000, &path);
    if (QTest::currentTestFailed())
        return;
    const int row = rowOfPath(path);
    QCOMPARE(row, 2);
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::PlayingState);
    QCOMPARE(engine->getSavedPlayer()->media().request().url().toLocalFile(), path);
    QTest::mouseClick(operationAt(row)->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::StoppedState);
}

// A save "folder" that is a file passes the check and fails in the cutter:
// the dialog stays open with the message and no row names a missing file.
void TestMainWindow::failedCutListsNothing()
{
    saveTo->setText(source);
    setMarks(1000, 3000);
    const int rows = table->rowCount();
    QString info;
    ModalDriver driver([&](QWidget *modal) {
        // A dialog that closed itself on the failure is never seen here.
        if (!modal || engine->isSplitRunning())
            return false;
        info = modal->findChild<QTextEdit *>()->toPlainText();
        modal->findChild<QPushButton *>("pushButtonConfirm")->click();
        return true;
    });
    QTest::mouseClick(preview, Qt::LeftButton);
    QVERIFY(driver.finished());
    QVERIFY2(info.contains("File creating failed."), qPrintable(info));
    QCOMPARE(table->rowCount(), rows);
}

// "Confrim" closes the waiting dialog while the cut goes on; another press
// is refused and touches neither the running cut's paths nor its result.
void TestMainWindow::secondCutWaitsForTheRunningOne()
{
    setMarks(1000, 3000);
    const int rows = table->rowCount();
    auto early = answerNextDialog("pushButtonConfirm");
    QTest::mouseClick(preview, Qt::LeftButton);
    QVERIFY(early->finished());
    QVERIFY(engine->isSplitRunning());
    const QString running = engine->getOutputFile();

    saveTo->setText(sandbox.filePath("a-cuts"));
    QString shown;
    auto refusal = answerNextDialog("pushButtonConfirm", &shown);
    QTest::mouseClick(preview, Qt::LeftButton);
    QVERIFY(refusal->finished());
    QCOMPARE(shown, QStringLiteral("The last split is still running.Please wait until it finishes."));
    QCOMPARE(engine->getOutputFile(), running);

    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), rows + 1, 10000);
    QVERIFY(rowOfPath(running) >= 0);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::PLAYING));
    QTest::mouseClick(operationAt(rowOfPath(running))->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
}

void TestMainWindow::themeReachesWidgets_data()
{
    QTest::addColumn<QString>("style");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("buttons");
    QTest::addColumn<QString>("timeFields");
    QTest::addColumn<QString>("pathColour");

    QTest::newRow("dark") << "4" << "cuts" << darkButtonStyle << timeEditStyle << "color:white";
    QTest::newRow("dark, missing folder") << "4" << "gone" << darkButtonStyle << timeEditStyle << "color:red";
    QTest::newRow("light blue") << "2" << "cuts" << blueButtonStyle << timeEditStyle << "color:black";
    QTest::newRow("plain") << "1" << "cuts" << QString() << QString() << "color:black";
}

void TestMainWindow::themeReachesWidgets()
{
    QFETCH(QString, style);
    QFETCH(QString, folder);
    QFETCH(QString, buttons);
    QFETCH(QString, timeFields);
    QFETCH(QString, pathColour);

    saveTo->setText(sandbox.filePath("home/" + folder));
    setMarks(1000, 3000);
    ModalDriver driver([style](QWidget *modal) {
        if (!modal)
            return false;
        modal->findChild<QRadioButton *>("radioButton_style" + style)->click();
        modal->findChild<QRadioButton *>("radioButtonPurple")->click();
        modal->findChild<QPushButton *>("pushButtonConfirm")->click();
        return true;
    });
    child<QAction>("actionTheme")->trigger();
    QVERIFY(driver.finished());

    QCOMPARE(engine->getThemeIndex(), style.toInt());
    QCOMPARE(leftHandle->styleSheet(), buttons);
    QCOMPARE(rightHandle->styleSheet(), buttons);
    // The theme's measures may resize the bar; the handles stay on the marks.
    QTRY_COMPARE(leftHandle->x(), handleX(1000, false));
    QTRY_COMPARE(rightHandle->x(), handleX(3000, true));
    QCOMPARE(startField->styleSheet(), timeFields);
    QCOMPARE(endField->styleSheet(), timeFields);
    QVERIFY(table->rowCount() > 0);
    for (int row = 0; row < table->rowCount(); ++row)
        QCOMPARE(operationAt(row)->playButton()->styleSheet(), buttons);
    QCOMPARE(saveTo->styleSheet(), pathColour);
    QCOMPARE(child<QLabel>("label_cuttingLength")->styleSheet(), QStringLiteral("color:#91007B"));
}

// "Select All" checks every row; "Clear" deletes exactly the checked files,
// also the one that plays.
void TestMainWindow::clearDeletesCheckedFiles()
{
    QStringList paths;
    for (int row = 0; row < table->rowCount(); ++row)
        paths << pathAt(row);
    QVERIFY(paths.size() >= 3);
    auto checkBoxAt = [this](int row) { return table->cellWidget(row, 0)->findChild<QCheckBox *>(); };
    auto checkedRows = [&] {
        int checked = 0;
        for (int row = 0; row < table->rowCount(); ++row)
            checked += checkBoxAt(row)->isChecked();
        return checked;
    };
    auto *selectAll = child<QCheckBox>("checkBoxSelectAll");
    auto *clear = child<QPushButton>("pushButtonClearList");

    QTest::mouseClick(selectAll, Qt::LeftButton);
    QCOMPARE(checkedRows(), paths.size());
    QVERIFY(clear->isEnabled());
    QTest::mouseClick(selectAll, Qt::LeftButton);
    QCOMPARE(checkedRows(), 0);
    QVERIFY(!clear->isEnabled());

    const int playing = rowOfPath(longCut);
    QTest::mouseClick(operationAt(playing)->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::PLAYING));
    checkBoxAt(playing)->click();
    QVERIFY(clear->isEnabled() && !selectAll->isChecked());
    clear->click();
    QCOMPARE(table->rowCount(), paths.size() - 1);
    QCOMPARE(rowOfPath(longCut), -1);
    QVERIFY(!QFile::exists(longCut));
    QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
    QVERIFY(cutterControlsEnabled());
    QTest::qWait(200); // the removed row's widgets go; nothing may still point at them

    for (int row = 0; row < table->rowCount(); ++row)
        checkBoxAt(row)->click();
    QVERIFY(selectAll->isChecked());
    clear->click();
    QCOMPARE(table->rowCount(), 0);
    for (const QString &path : paths)
        QVERIFY2(!QFile::exists(path), qPrintable(path));
    QVERIFY(!selectAll->isEnabled() && !selectAll->isChecked());
}

// The save folder is a local path, not a URL: a '#' or a '%' in a folder
// name is part of the name.
void TestMainWindow::openSaveDirShowsTheFolder()
{
    const QString folder = sandbox.filePath("home/cuts #1 100%");
    QVERIFY(QDir().mkpath(folder));
    saveTo->setText(folder);

    UrlCatcher desktop;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &desktop, "open");
    child<QAction>("actionOpen_Save_Dir")->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));

    QCOMPARE(desktop.urls.size(), 1);
    QCOMPARE(desktop.urls.first().toLocalFile(), folder);
}

void TestMainWindow::closeWritesSettings()
{
    QVERIFY(window->close());
    QFile file(settingsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject common = QJsonDocument::fromJson(file.readAll()).object().value("Common").toObject();
    QCOMPARE(common["Operation"].toObject()["OpenHistoryList"].toArray().first().toString(), source);
    QCOMPARE(common["Operation"].toObject()["SavePath"].toString(), saveDir);
    QCOMPARE(common["StyleSheet"].toObject()["index"].toInt(), 1);
    QCOMPARE(common["StyleSheet"].toObject()["SelectColor"].toString(), QStringLiteral("#91007B"));
}

// Declining changes nothing; confirming writes the settings as closing
// does, then ends the event loop.
void TestMainWindow::exitWritesSettings()
{
    QFile file(settingsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray written = file.readAll();
    file.close();
    QVERIFY(QFile::remove(settingsFile));

    auto decline = answerNextDialog("pushButtonCancel");
    child<QAction>("actionExit")->trigger();
    QVERIFY(decline->finished());
    QVERIFY(!QFile::exists(settingsFile));

    QString shown;
    auto confirm = answerNextDialog("pushButtonConfirm", &shown);
    QTimer::singleShot(0, child<QAction>("actionExit"), &QAction::trigger);
    QTimer guard; // fail rather than hang
    connect(&guard, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
    guard.start(20000);
    QCOMPARE(QCoreApplication::exec(), 0);
    QCOMPARE(shown, QStringLiteral("Are you confirm to exit?"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), written);
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
