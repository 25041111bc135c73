// The real main window end to end: a sandboxed home and configuration, a real
// MP3 made here, real playback through the multimedia back end and real cuts
// on the engine's worker thread. Every test function gets a window of its
// own with the same settings file, so none depends on another.

#include "appsettings.h"
#include "audiocutabstract.h"
#include "edit/cutjob.h"
#include "edit/cutplanner.h"
#include "engine.h"
#include "mp3splitter.h"
#include "mainwindow.h"
#include "mp3streambuilder.h"
#include "musicplayer.h"
#include "operation.h"
#include "selectbar.h"
#include "settingskeys.h"
#include "io/sourcefile.h"
#include "stylesheetreader.h"
#include "testfiles.h"

#include <QAbstractItemView>
#include <QAction>
#include <QBuffer>
#include <QImage>
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
#include <QMessageBox>
#include <QMimeData>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
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

#include <cerrno>
#include <cmath>
#include <functional>
#include <memory>

#include <signal.h>
#include <sys/resource.h>

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

// Notes the text of the next message box and presses its only button.
std::unique_ptr<ModalDriver> answerNextMessageBox(QString *text)
{
    return std::make_unique<ModalDriver>([text](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return false;
        *text = box->text();
        box->button(QMessageBox::Ok)->click();
        return true;
    });
}

double luminance(const QColor &c)
{
    auto f = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * f(c.redF()) + 0.7152 * f(c.greenF()) + 0.0722 * f(c.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (qMax(la, lb) + 0.05) / (qMin(la, lb) + 0.05);
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

// An ID3v2.3 tag holding a title.
QByteArray titleTag(const QByteArray &title)
{
    auto sizeBytes = [](int size, int bitsPerByte) {
        QByteArray out;
        for (int shift = 3 * bitsPerByte; shift >= 0; shift -= bitsPerByte)
            out += char((size >> shift) & ((1 << bitsPerByte) - 1));
        return out;
    };
    const QByteArray frame = "TIT2" + sizeBytes(title.size() + 1, 8) + QByteArray(3, 0) + title;
    return QByteArray("ID3\x03\x00\x00", 6) + sizeBytes(frame.size(), 7) + frame;
}

QString heardText(const CutPlan &plan)
{
    return QStringLiteral("→ %1 – %2").arg(mark(int(plan.heardStartMs())), mark(int(plan.heardEndMs())));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensWithHistoryEntry();
    void iconButtonsSayWhatTheyDo();
    void timeFieldsWithoutDurationLeaveHandles();
    void playsAndPauses();
    void timeFieldsMarkThePiece_data();
    void timeFieldsMarkThePiece();
    void timeFieldStep_data();
    void timeFieldStep();
    void handleAndScissorsFillTheFields();
    void refusesCut_data();
    void refusesCut();
    void firstCutMakesTheDefaultFolder();
    void typedSaveFolder_data();
    void typedSaveFolder();
    void cutListsAndPlaysTheNewFile();
    void playButtonOfPlayingRowStops();
    void newerCutGoesOnTopAndPlaysToItsEnd();
    void cutIntoOtherFolderPlaysTheNewFile();
    void failedCutListsNothing_data();
    void failedCutListsNothing();
    void secondCutWaitsForTheRunningOne();
    void resetStopsTheListedFile_data();
    void resetStopsTheListedFile();
    void themeReachesWidgets_data();
    void themeReachesWidgets();
    void clearMovesCheckedFilesToTrash();
    void clearWithoutTrashDeletes();
    void keys_data();
    void keys();
    void keysOpenDialogs_data();
    void keysOpenDialogs();
    void progressSlider_data();
    void progressSlider();
    void dropOpensMp3Only_data();
    void dropOpensMp3Only();
    void unusableFilesGetANotice_data();
    void unusableFilesGetANotice();
    void longSourceRefused_data();
    void longSourceRefused();
    void openSaveDirShowsTheFolder();
    void closeWritesSettings();
    void exitWritesSettings();
    void cutModesPersistAndReachTheCut_data();
    void cutModesPersistAndReachTheCut();
    void heardRangeFollowsThePlan_data();
    void heardRangeFollowsThePlan();

private:
    template<typename T>
    T *child(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    void play();
    void pauseAt(qint64 ms);
    void setMarks(int startMs, int endMs);
    void cut(int startMs, int endMs, QString *path);
    void chooseTheme(const QString &style, const char *colorButton);
    QByteArray expectedCut(int startMs, int endMs) const;
    Operation *operationAt(int row) const;
    QString pathAt(int row) const;
    int rowOfPath(const QString &path) const;
    bool cutterControlsEnabled() const;
    int handleX(int ms, bool endHandle) const;
    qint64 duration() const { return engine->getPlayer()->getDuration(); }

    QTemporaryDir sandbox;
    QString source;
    QString other; // a second file in the history
    QString saveDir;
    QString settingsFile;
    QByteArray settingsContent;
    Mp3StreamBuilder frames;
    int clockTicks = 0;
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
    keepGStreamerRegistry();
    qputenv("HOME", QFile::encodeName(sandbox.filePath("home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.filePath("config")));
    QVERIFY(QDir().mkpath(sandbox.filePath("sources")));
    QVERIFY(QDir().mkpath(sandbox.filePath("home/cuts")));
    QVERIFY(QDir().mkpath(sandbox.filePath("config/snipwave")));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0.4"));
    // Some tests close the window; the run goes on.
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
    source = sandbox.filePath("sources/tone 8s.mp3");
    other = sandbox.filePath("sources/tone copy.mp3");
    for (const QString &path : {source, other}) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(frames.bytes);
    }

    // A history with a repeated and an empty entry, as a hand-edited file
    // may hold.
    saveDir = sandbox.filePath("home/cuts");
    settingsFile = sandbox.filePath("config/snipwave/settings.json");
    const QJsonObject operation{{"OpenHistoryList", QJsonArray{source, "", source, other, "/gone/old.mp3"}},
                                {"SavePath", saveDir}};
    settingsContent = QJsonDocument(QJsonObject{{"Common", QJsonObject{{"Operation", operation}}}}).toJson();
}

void TestMainWindow::init()
{
    qputenv("XDG_DATA_HOME", QFile::encodeName(sandbox.filePath("data")));
    QVERIFY(QDir().mkpath(sandbox.filePath("data")));
    QFile settings(settingsFile);
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(settingsContent);
    settings.close();

    window = std::make_unique<MainWindow>();
    window->resetUi();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QApplication::setActiveWindow(window.get());
    engine = window->findChild<Engine *>();
    table = child<QTableWidget>("tableWidget");
    saveTo = child<QLineEdit>("lineEdit_saveTo");
    preview = child<QPushButton>("pushButton_preview");
    leftHandle = child<QPushButton>("pushButtonLeftHandle");
    rightHandle = child<QPushButton>("pushButtonRightHandle");
    startField = child<QTimeEdit>("timeEdit_start");
    endField = child<QTimeEdit>("timeEdit_end");
    QVERIFY(engine && table && saveTo && preview && leftHandle && rightHandle && startField && endField);
    // A second a cut, so that no two cuts of the run share a name.
    const QDateTime base(QDate(2026, 1, 1), QTime(12, 0));
    engine->setClock([this, base] { return base.addSecs(++clockTicks); });
    // Cuts without the pauses that let a person read the cutter's messages.
    engine->setCutterFactory([] {
        auto *splitter = new Mp3Splitter;
        splitter->setMessagePause(0);
        return splitter;
    });
}

void TestMainWindow::cleanup()
{
    window.reset();
}

// Plays the source until its duration is known: the marks need it, and the
// cutter controls are enabled from then on.
void TestMainWindow::play()
{
    QTest::mouseClick(child<QPushButton>("pushButton_play"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(engine->getPlayer()->state(), QMediaPlayer::PlayingState, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(duration() > 7000, 10000);
}

void TestMainWindow::pauseAt(qint64 ms)
{
    play();
    engine->getPlayer()->pause();
    engine->getPlayer()->setPosition(ms);
    QTRY_VERIFY(qAbs(engine->getPlayer()->position() - ms) < 30);
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
    if (duration() == 0)
        play();
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

void TestMainWindow::chooseTheme(const QString &style, const char *colorButton)
{
    ModalDriver driver([style, colorButton](QWidget *modal) {
        if (!modal)
            return false;
        modal->findChild<QRadioButton *>("radioButton_style" + style)->click();
        modal->findChild<QRadioButton *>(QLatin1String(colorButton))->click();
        modal->findChild<QPushButton *>("pushButtonConfirm")->click();
        return true;
    });
    child<QAction>("actionTheme")->trigger();
    QVERIFY(driver.finished());
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
    const double fraction = qMin(1.0, ms / double(duration()));
    return int(span * float(fraction)) + (endHandle ? 20 : 0);
}

// The status texts are permanent: a menu's status tip does not wipe them.
void TestMainWindow::opensWithHistoryEntry()
{
    auto *box = child<QComboBox>("lineEdit_CurrentFile");
    QCOMPARE(box->count(), 3);
    QCOMPARE(box->currentText(), source);
    QCOMPARE(box->itemText(2), QStringLiteral("/gone/old.mp3"));
    QCOMPARE(engine->getPlayer()->getFile(), source);
    QCOMPARE(saveTo->text(), saveDir);
    QCOMPARE(window->windowTitle(), QStringLiteral("Snipwave v1.0.4"));
    QCOMPARE(window->minimumSize(), QSize(720, 460));
    QCOMPARE(window->maximumSize(), window->minimumSize());
    QVERIFY(!window->statusBar()->isSizeGripEnabled());
    QVERIFY(child<QPushButton>("pushButton_play")->isEnabled());
    QVERIFY(!startField->isEnabled());
    QVERIFY(!child<SelectBar>("widgetSelectBar")->isEnabled());
    QVERIFY(!preview->isEnabled());
    QVERIFY(child<QLabel>("label_passedTime")->isHidden());

    QStatusTipEvent tip(QStringLiteral("Open a file"));
    QCoreApplication::sendEvent(window.get(), &tip);
    QStatusTipEvent tipGone{QString()};
    QCoreApplication::sendEvent(window.get(), &tipGone);
    QCOMPARE(child<QLabel>("cutterStatusLabel")->text(), QStringLiteral("Splitter is idel(IDEL)"));
    QVERIFY(child<QLabel>("cutterStatusLabel")->isVisible());
    QCOMPARE(child<QLabel>("playerStatusLabel")->text(), QStringLiteral("Stopped"));
}

// Before any media the player knows no duration: the handles stay put
// instead of being sent to a position computed from a division by zero.
// A button that shows only an icon names its job in a tooltip.
void TestMainWindow::iconButtonsSayWhatTheyDo()
{
    const auto buttons = child<QWidget>("centralWidget")->findChildren<QPushButton *>();
    for (const QPushButton *button : buttons) {
        if (button->text().isEmpty() && !child<SelectBar>("widgetSelectBar")->isAncestorOf(button))
            QVERIFY2(!button->toolTip().isEmpty(), qPrintable(button->objectName()));
    }
}

void TestMainWindow::timeFieldsWithoutDurationLeaveHandles()
{
    QCOMPARE(duration(), qint64(0));
    const QPoint leftAt = leftHandle->pos();
    const QPoint rightAt = rightHandle->pos();
    setMarks(2000, 4000);
    QCOMPARE(engine->getStartTime(), qint64(2000));
    QCOMPARE(engine->getEndTime(), qint64(4000));
    QCOMPARE(leftHandle->pos(), leftAt);
    QCOMPARE(rightHandle->pos(), rightAt);
}

void TestMainWindow::playsAndPauses()
{
    auto *play = child<QPushButton>("pushButton_play");
    this->play();
    QVERIFY(cutterControlsEnabled());
    QCOMPARE(child<QLabel>("playerStatusLabel")->text(), QStringLiteral("Now is playing"));
    QCOMPARE(child<QLabel>("label_duration")->text(), mark(int(duration())));
    QCOMPARE(play->toolTip(), QStringLiteral("Pause"));
    // The position runs beside the duration.
    auto *position = child<QLabel>("label_passedTime");
    QVERIFY(position->isVisible());
    QTRY_VERIFY(engine->getPlayer()->position() > 1100);
    // To the millisecond, as the marks. The label follows the player's
    // position reports, so it may be one report behind the position asked now.
    const auto shownNow = [&] {
        const qint64 now = engine->getPlayer()->position();
        const QTime shown = QTime::fromString(position->text(), QStringLiteral("HH:mm:ss\"zzz / "));
        const qint64 ms = QTime(0, 0).msecsTo(shown);
        return shown.isValid() && ms <= now && now - ms <= 1000;
    };
    QTRY_VERIFY(shownNow());

    QTest::mouseClick(play, Qt::LeftButton);
    QTRY_COMPARE(engine->getPlayer()->state(), QMediaPlayer::PausedState);
    QCOMPARE(play->toolTip(), QStringLiteral("Continue to play"));
}

void TestMainWindow::timeFieldsMarkThePiece_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end");
    QTest::addColumn<bool>("endFirst");
    QTest::addColumn<int>("startInForce"); // -1: the duration
    QTest::addColumn<int>("endInForce");

    QTest::newRow("piece") << 1500 << 4250 << false << 1500 << 4250;
    QTest::newRow("end before start jumps back") << 3000 << 1000 << false << 3000 << 3000;
    QTest::newRow("start after end stops at the end") << 5000 << 3000 << true << 3000 << 3000;
    QTest::newRow("end beyond the audio") << 1000 << 60000 << false << 1000 << -1;
    QTest::newRow("start beyond the audio") << 60000 << 61000 << false << -1 << -1;
}

// Fields, engine, label and both handles agree after every change.
void TestMainWindow::timeFieldsMarkThePiece()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(bool, endFirst);
    QFETCH(int, startInForce);
    QFETCH(int, endInForce);

    play();
    if (startInForce < 0)
        startInForce = int(duration());
    if (endInForce < 0)
        endInForce = int(duration());
    engine->setCutterState(Engine::PLAYING);
    if (endFirst) {
        setMarks(0, end);
        startField->setTime(QTime(0, 0).addMSecs(start));
    } else {
        setMarks(start, end);
    }
    QCOMPARE(engine->getStartTime(), qint64(startInForce));
    QCOMPARE(engine->getEndTime(), qint64(endInForce));
    QCOMPARE(startField->time(), QTime(0, 0).addMSecs(startInForce));
    QCOMPARE(endField->time(), QTime(0, 0).addMSecs(endInForce));
    QCOMPARE(child<QLabel>("label_cuttingLength")->text(), mark(endInForce - startInForce));
    QCOMPARE(engine->getCutterState(), int(Engine::IDEL));
    QCOMPARE(leftHandle->x(), handleX(startInForce, false));
    QCOMPARE(rightHandle->x(), handleX(endInForce, true));
}

void TestMainWindow::timeFieldStep_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("position"); // text position under the pointer
    QTest::addColumn<int>("section");

    // "HH:mm:ss"zzz": hours at 0, minutes at 3, seconds at 6. A step of a
    // minute or an hour ends at the end of the 8 s source.
    QTest::newRow("arrow click") << "arrow" << -1 << int(QDateTimeEdit::SecondSection);
    QTest::newRow("tab in, key up") << "tab" << -1 << int(QDateTimeEdit::SecondSection);
    QTest::newRow("wheel over seconds") << "wheel" << 7 << int(QDateTimeEdit::SecondSection);
    QTest::newRow("wheel over minutes") << "wheel" << 4 << int(QDateTimeEdit::MinuteSection);
    QTest::newRow("wheel over hours") << "wheel" << 1 << int(QDateTimeEdit::HourSection);
}

void TestMainWindow::timeFieldStep()
{
    QFETCH(QString, how);
    QFETCH(int, position);
    QFETCH(int, section);

    play();
    engine->getPlayer()->pause();
    setMarks(0, 0);
    QLineEdit *text = startField->findChild<QLineEdit *>();
    if (how == "arrow") {
        QStyleOptionSpinBox option;
        option.initFrom(startField);
        option.subControls = QStyle::SC_SpinBoxUp;
        option.buttonSymbols = startField->buttonSymbols();
        option.stepEnabled = QAbstractSpinBox::StepUpEnabled;
        const QRect up = startField->style()->subControlRect(QStyle::CC_SpinBox, &option, QStyle::SC_SpinBoxUp, startField);
        QTest::mouseClick(startField, Qt::LeftButton, {}, up.center());
    } else if (how == "tab") {
        startField->clearFocus();
        QWidget *before = startField->previousInFocusChain();
        before->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(before, Qt::Key_Tab);
        QTRY_VERIFY(startField->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    } else {
        int x = 0;
        while (x < text->width() && text->cursorPositionAt(QPoint(x, text->height() / 2)) < position)
            ++x;
        const QPoint at = text->mapTo(startField, QPoint(x + 1, text->height() / 2));
        QWheelEvent wheel(at, startField->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(startField, &wheel);
    }
    const qint64 step = section == QDateTimeEdit::SecondSection ? 1000 : duration();
    QCOMPARE(startField->currentSection(), QDateTimeEdit::Section(section));
    QCOMPARE(engine->getStartTime(), step);
    QCOMPARE(startField->time(), QTime(0, 0).addMSecs(int(step)));
}

void TestMainWindow::handleAndScissorsFillTheFields()
{
    play();
    setMarks(0, 0);
    auto *bar = child<SelectBar>("widgetSelectBar");
    QWindow *handle = window->windowHandle();
    const int span = bar->width() - 38;
    const QPoint grip(5, 10);
    QTest::mousePress(handle, Qt::LeftButton, {}, rightHandle->mapTo(window.get(), grip));
    QTest::mouseMove(handle, bar->mapTo(window.get(), QPoint(300 + grip.x(), 10)));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, bar->mapTo(window.get(), QPoint(300 + grip.x(), 10)));
    const auto endMs = qint64((long double)duration() * float(double(300 - 19) / span));
    QCOMPARE(engine->getEndTime(), endMs);
    QCOMPARE(endField->time(), QTime(0, 0).addMSecs(int(endMs)));
    QCOMPARE(child<QLabel>("label_cuttingLength")->text(), mark(int(endMs)));
    QCOMPARE(rightHandle->x(), 300); // not moved back by the field

    // Paused, so the position cannot move on between reading it and the click.
    engine->getPlayer()->pause();
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

    play();
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
    QVERIFY(!QFileInfo::exists(sandbox.filePath("home/gone")));
}

// A fresh account has no ~/music yet: the default folder is made by the
// first cut instead of refusing it.
void TestMainWindow::firstCutMakesTheDefaultFolder()
{
    const QString music = sandbox.filePath("home/music");
    QDir(music).removeRecursively();
    saveTo->setText(music);
    // Not a fault: the field says what will happen.
    QCOMPARE(saveTo->styleSheet(), QStringLiteral("color:black"));
    QCOMPARE(saveTo->toolTip(), QStringLiteral("This folder does not exist yet: the first cut makes it."));
    QString path;
    cut(1000, 3000, &path);
    QCOMPARE(QFileInfo(path).path(), music);
    QVERIFY(QFileInfo(path).isFile());
    QCOMPARE(saveTo->styleSheet(), QStringLiteral("color:black"));
}

void TestMainWindow::typedSaveFolder_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<bool>("exists");

    QTest::newRow("folder that is there") << "home/typed" << true;
    QTest::newRow("folder that is not") << "home/nowhere" << false;
}

// Typed and confirmed, a folder that is there is kept for the next start; one
// that is not is red and says why.
void TestMainWindow::typedSaveFolder()
{
    QFETCH(QString, folder);
    QFETCH(bool, exists);
    const QString path = sandbox.filePath(folder);
    QVERIFY(!exists || QDir().mkpath(path));
    saveTo->setFocus();
    saveTo->selectAll();
    QTest::keyClicks(saveTo, path);
    QTest::keyClick(saveTo, Qt::Key_Return);
    const QString stored = window->findChild<AppSettings *>()
        ->getValue(SettingsKeys::common, SettingsKeys::operationSection, SettingsKeys::savePath).toString();
    QCOMPARE(stored, exists ? path : saveDir);
    QCOMPARE(saveTo->styleSheet() == QStringLiteral("color:red"), !exists);
    QCOMPARE(saveTo->toolTip().contains(QStringLiteral("does not exist")), !exists);
}

void TestMainWindow::cutListsAndPlaysTheNewFile()
{
    QString path;
    cut(1000, 6000, &path);
    if (QTest::currentTestFailed())
        return;
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
    QString path;
    cut(1000, 6000, &path);
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::PlayingState);
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
    QString older;
    cut(1000, 6000, &older);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::PLAYING));
    QTest::mouseClick(operationAt(0)->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
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
    QString first;
    cut(1000, 3000, &first);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::PLAYING));
    QTest::mouseClick(operationAt(0)->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));

    QVERIFY(QDir().mkpath(sandbox.filePath("a-cuts")));
    saveTo->setText(sandbox.filePath("a-cuts"));
    QString path;
    cut(1000, 4000, &path);
    if (QTest::currentTestFailed())
        return;
    const int row = rowOfPath(path);
    QCOMPARE(row, 1);
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::PlayingState);
    QCOMPARE(engine->getSavedPlayer()->media().request().url().toLocalFile(), path);
    QTest::mouseClick(operationAt(row)->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::StoppedState);
}

// A save "folder" that is a file passes the check and fails in the cutter:
// the dialog stays open with the message and no row names a missing file.
void TestMainWindow::failedCutListsNothing_data()
{
    QTest::addColumn<bool>("folderIsAFile");
    QTest::addColumn<int>("errnum"); // the system's reason the window shows

    QTest::newRow("save folder is a file") << true << int(ENOTDIR);
    QTest::newRow("no room for the cut") << false << int(EFBIG);
}

void TestMainWindow::failedCutListsNothing()
{
    QFETCH(bool, folderIsAFile);
    QFETCH(int, errnum);
    play();
    if (folderIsAFile)
        saveTo->setText(source);
    setMarks(1000, 3000);
    QString info;
    ModalDriver driver([&](QWidget *modal) {
        // A dialog that closed itself on the failure is never seen here.
        if (!modal || engine->isSplitRunning())
            return false;
        info = modal->findChild<QTextEdit *>()->toPlainText();
        modal->findChild<QPushButton *>("pushButtonConfirm")->click();
        return true;
    });
    // Files of this process may grow to 4 KiB only, as if the disk were full.
    struct rlimit saved = {};
    QCOMPARE(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previous = ::signal(SIGXFSZ, SIG_IGN);
    const struct rlimit limit = {folderIsAFile ? saved.rlim_cur : 4096, saved.rlim_max};
    QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    QTest::mouseClick(preview, Qt::LeftButton);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, previous);
    QVERIFY(driver.finished());
    QVERIFY2(info.contains("File creating failed. (" + qt_error_string(errnum) + ")"), qPrintable(info));
    QCOMPARE(table->rowCount(), 0);
}

// "Confrim" closes the waiting dialog while the cut goes on; another press
// is refused and touches neither the running cut's paths nor its result.
void TestMainWindow::secondCutWaitsForTheRunningOne()
{
    play();
    setMarks(1000, 3000);
    auto early = answerNextDialog("pushButtonConfirm");
    QTest::mouseClick(preview, Qt::LeftButton);
    QVERIFY(early->finished());
    QVERIFY(engine->isSplitRunning());
    const QString running = engine->getOutputFile();

    QVERIFY(QDir().mkpath(sandbox.filePath("a-cuts")));
    saveTo->setText(sandbox.filePath("a-cuts"));
    QString shown;
    auto refusal = answerNextDialog("pushButtonConfirm", &shown);
    QTest::mouseClick(preview, Qt::LeftButton);
    QVERIFY(refusal->finished());
    QCOMPARE(shown, QStringLiteral("The last split is still running.Please wait until it finishes."));
    QCOMPARE(engine->getOutputFile(), running);

    QTRY_COMPARE_WITH_TIMEOUT(table->rowCount(), 1, 10000);
    QVERIFY(rowOfPath(running) >= 0);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::PLAYING));
    QTest::mouseClick(operationAt(rowOfPath(running))->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
}

void TestMainWindow::resetStopsTheListedFile_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("history pick") << "pick";
    QTest::newRow("drop") << "drop";
    QTest::newRow("stop button") << "stop";
}

// Whatever resets the window stops a listed file that plays first, so the
// two players never sound together, and the progress knob goes home.
void TestMainWindow::resetStopsTheListedFile()
{
    QFETCH(QString, how);

    QString path;
    cut(1000, 6000, &path);
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::PlayingState);
    auto *box = child<QComboBox>("lineEdit_CurrentFile");
    if (how == "pick") {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_Down);
        QCOMPARE(box->currentText(), other);
    } else if (how == "drop") {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(other)});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &drop);
    } else {
        QTest::mouseClick(operationAt(0)->playButton(), Qt::LeftButton);
        QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
        engine->getPlayer()->play();
        QTRY_VERIFY(child<QSlider>("horizontalSlider_ProgressBar")->value() > 0);
        QTest::mouseClick(child<QPushButton>("pushButton_stop"), Qt::LeftButton);
    }
    QCOMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::StoppedState);
    QCOMPARE(engine->getCutterState(), int(Engine::IDEL));
    QTRY_COMPARE(operationAt(0)->playButton()->isEnabled(), true);
    QCOMPARE(child<QSlider>("horizontalSlider_ProgressBar")->value(), 0);

    // Play sounds the source alone; the row's button plays the row again.
    if (how == "drop")
        QTRY_COMPARE_WITH_TIMEOUT(engine->getPlayer()->state(), QMediaPlayer::PlayingState, 10000);
    else
        QTest::mouseClick(child<QPushButton>("pushButton_play"), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(engine->getPlayer()->state(), QMediaPlayer::PlayingState, 10000);
    QCOMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::StoppedState);
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

    QString path;
    cut(1000, 3000, &path);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::PLAYING));
    QTest::mouseClick(operationAt(0)->playButton(), Qt::LeftButton);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
    saveTo->setText(sandbox.filePath("home/" + folder));
    chooseTheme(style, "radioButtonPurple");

    QCOMPARE(engine->getThemeIndex(), style.toInt());
    QCOMPARE(leftHandle->styleSheet(), buttons);
    QCOMPARE(rightHandle->styleSheet(), buttons);
    // The theme's measures may resize the bar; the handles stay on the marks.
    QTRY_COMPARE(leftHandle->x(), handleX(1000, false));
    QTRY_COMPARE(rightHandle->x(), handleX(3000, true));
    QCOMPARE(startField->styleSheet(), timeFields);
    QCOMPARE(endField->styleSheet(), timeFields);
    QCOMPARE(operationAt(0)->playButton()->styleSheet(), buttons);
    QCOMPARE(saveTo->styleSheet(), pathColour);

    // The length label keeps purple where it reads, and on the dark
    // background it is lightened just enough.
    const QString label = child<QLabel>("label_cuttingLength")->styleSheet();
    if (style == "4") {
        const QColor shown(label.mid(6));
        QVERIFY2(contrast(shown, QColor("#444444")) >= 3.0, qPrintable(label));
        QVERIFY2(contrast(shown, QColor("#444444")) < 3.5, qPrintable(label));
    } else {
        QCOMPARE(label, QStringLiteral("color:#91007B"));
    }
}

// "Select All" checks every row; "Clear" moves exactly the checked files to
// the trash, also the one that plays.
void TestMainWindow::clearMovesCheckedFilesToTrash()
{
    QStringList paths;
    QString longCut;
    for (int end : {6000, 3000, 4000}) {
        QString path;
        cut(1000, end, &path);
        QTRY_COMPARE(engine->getCutterState(), int(Engine::PLAYING));
        QTest::mouseClick(operationAt(rowOfPath(path))->playButton(), Qt::LeftButton);
        QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
        paths << path;
    }
    longCut = paths.first();
    auto checkBoxAt = [this](int row) { return table->cellWidget(row, 0)->findChild<QCheckBox *>(); };
    auto checkedRows = [&] {
        int checked = 0;
        for (int row = 0; row < table->rowCount(); ++row)
            checked += checkBoxAt(row)->isChecked();
        return checked;
    };
    auto inTrash = [this](const QString &path) {
        return QFileInfo(sandbox.filePath("data/Trash/files/") + QFileInfo(path).fileName()).isFile();
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
    QVERIFY(inTrash(longCut));
    // Rows are left and none is checked.
    QVERIFY(selectAll->isEnabled() && !selectAll->isChecked() && !clear->isEnabled());
    QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
    QVERIFY(cutterControlsEnabled());
    QTest::qWait(200); // the removed row's widgets go; nothing may still point at them

    for (int row = 0; row < table->rowCount(); ++row)
        checkBoxAt(row)->click();
    QVERIFY(selectAll->isChecked());
    clear->click();
    QCOMPARE(table->rowCount(), 0);
    for (const QString &path : paths)
        QVERIFY2(!QFile::exists(path) && inTrash(path), qPrintable(path));
    QVERIFY(!selectAll->isEnabled() && !selectAll->isChecked());
}

// No trash can be made where the data folders would have to be inside a
// file: the file is deleted, and the user is told.
void TestMainWindow::clearWithoutTrashDeletes()
{
    QFile blocker(sandbox.filePath("not-a-folder"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("XDG_DATA_HOME", QFile::encodeName(sandbox.filePath("not-a-folder/data")));
    QString path;
    cut(1000, 3000, &path);
    QTRY_COMPARE(engine->getCutterState(), int(Engine::PLAYING));
    table->cellWidget(0, 0)->findChild<QCheckBox *>()->click();
    QString shown;
    auto driver = answerNextDialog("pushButtonConfirm", &shown);
    child<QPushButton>("pushButtonClearList")->click();
    QVERIFY(driver->finished());
    QCOMPARE(shown, QStringLiteral("There is no trash for these files: they were deleted."));
    QVERIFY(!QFile::exists(path));
    QCOMPARE(table->rowCount(), 0);
    QVERIFY(!QDir(QStringLiteral("files")).exists());
}

void TestMainWindow::keys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("focus");  // "", "start field" or "path box"
    QTest::addColumn<QString>("what");   // what the key changes
    QTest::addColumn<int>("expected");   // new value; the position is paused at 3000

    const int none = Qt::NoModifier;
    QTest::newRow("I: start here") << int(Qt::Key_I) << none << "" << "start" << 3000;
    QTest::newRow("[: start here") << int(Qt::Key_BracketLeft) << none << "" << "start" << 3000;
    QTest::newRow("O: end here") << int(Qt::Key_O) << none << "" << "end" << 3000;
    QTest::newRow("]: end here") << int(Qt::Key_BracketRight) << none << "" << "end" << 3000;
    QTest::newRow("Left: 1 s back") << int(Qt::Key_Left) << none << "" << "position" << 2000;
    QTest::newRow("Right: 1 s on") << int(Qt::Key_Right) << none << "" << "position" << 4000;
    QTest::newRow("Shift+Right: a frame") << int(Qt::Key_Right) << int(Qt::ShiftModifier) << "" << "position" << 3026;
    QTest::newRow("Ctrl+Left: 10 s back, not before 0") << int(Qt::Key_Left) << int(Qt::ControlModifier) << "" << "position" << 0;
    QTest::newRow("Home: to the start mark") << int(Qt::Key_Home) << none << "" << "position" << 1000;
    QTest::newRow("End: to the end mark") << int(Qt::Key_End) << none << "" << "position" << 6000;
    QTest::newRow("Space: plays") << int(Qt::Key_Space) << none << "" << "playing" << 1;
    QTest::newRow("Return: cuts") << int(Qt::Key_Return) << none << "" << "rows" << 1;
    QTest::newRow("Ctrl+S: cuts") << int(Qt::Key_S) << int(Qt::ControlModifier) << "" << "rows" << 1;
    QTest::newRow("I in a time field types") << int(Qt::Key_I) << none << "start field" << "start" << 1000;
    QTest::newRow("Left in a time field moves the cursor") << int(Qt::Key_Left) << none << "start field" << "position" << 3000;
    QTest::newRow("Space in the path box types") << int(Qt::Key_Space) << none << "path box" << "playing" << 0;
    QTest::newRow("End in the path box moves the cursor") << int(Qt::Key_End) << none << "path box" << "position" << 3000;
}

void TestMainWindow::keys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, focus);
    QFETCH(QString, what);
    QFETCH(int, expected);

    pauseAt(3000);
    setMarks(1000, 6000);
    QWidget *target = window.get();
    if (focus == "start field")
        target = startField;
    else if (focus == "path box")
        target = child<QComboBox>("lineEdit_CurrentFile");
    target->setFocus();
    QTRY_VERIFY(target->hasFocus() || target == window.get());

    std::unique_ptr<ModalDriver> waiting;
    if (what == "rows")
        waiting = std::make_unique<ModalDriver>([](QWidget *modal) { return modal != nullptr; });
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : target, Qt::Key(key),
                    Qt::KeyboardModifiers(modifiers));

    if (what == "start") {
        QCOMPARE(engine->getStartTime(), qint64(expected));
    } else if (what == "end") {
        QCOMPARE(engine->getEndTime(), qint64(expected));
    } else if (what == "position") {
        // A seek may take a while on a busy machine; a key that must not
        // seek gets the same time to show it did not.
        const auto near = [&] { return qAbs(engine->getPlayer()->position() - expected) < 5; };
        QTRY_VERIFY2(near(), qPrintable(QString::number(engine->getPlayer()->position())));
        QTest::qWait(200);
        QVERIFY2(near(), qPrintable(QString::number(engine->getPlayer()->position())));
    } else if (what == "playing") {
        const auto playing = [&] { return engine->getPlayer()->state() == QMediaPlayer::PlayingState; };
        QTRY_COMPARE(playing(), bool(expected));
        QTest::qWait(200);
        QCOMPARE(playing(), bool(expected));
    } else {
        QTRY_COMPARE(table->rowCount(), expected);
        QVERIFY(waiting->finished());
    }
}

void TestMainWindow::keysOpenDialogs_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");

    QTest::newRow("F1: help") << int(Qt::Key_F1) << int(Qt::NoModifier) << "pushButtonConfirm" << "Help contents.";
    QTest::newRow("Ctrl+Q: exit") << int(Qt::Key_Q) << int(Qt::ControlModifier) << "pushButtonCancel"
                                  << "Are you confirm to exit?";
}

// The help box shows its whole text: wrapped lines, and a scroll bar for the
// rest, which lists the keys.
void TestMainWindow::keysOpenDialogs()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, button);
    QFETCH(QString, text);

    QString shown;
    int scrollRange = -1;
    int sideways = -1;
    ModalDriver driver([&](QWidget *modal) {
        if (!modal)
            return false;
        auto *edit = modal->findChild<QTextEdit *>();
        shown = edit->toPlainText();
        scrollRange = edit->verticalScrollBar()->maximum();
        sideways = edit->horizontalScrollBar()->maximum();
        modal->findChild<QPushButton *>(button)->click();
        return true;
    });
    QTest::keyClick(window.get(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QVERIFY(driver.finished());
    QVERIFY2(shown.startsWith(text), qPrintable(shown));
    QVERIFY(window->isVisible());
    if (key == Qt::Key_F1) {
        QVERIFY(shown.contains("Ctrl+Q"));
        QVERIFY(scrollRange > 0);
        QCOMPARE(sideways, 0);
    }
}

void TestMainWindow::progressSlider_data()
{
    QTest::addColumn<bool>("playing");
    QTest::addColumn<bool>("onKnob");

    QTest::newRow("groove click while paused") << false << false;
    QTest::newRow("groove click while playing") << true << false;
    QTest::newRow("knob drag while paused") << false << true;
    QTest::newRow("knob drag while playing") << true << true;
}

// A click beside the knob jumps to that place; a drag of the knob ends in
// the state it began in.
void TestMainWindow::progressSlider()
{
    QFETCH(bool, playing);
    QFETCH(bool, onKnob);

    pauseAt(0);
    if (playing) {
        engine->getPlayer()->play();
        QTRY_COMPARE(engine->getPlayer()->state(), QMediaPlayer::PlayingState);
    }
    auto *slider = child<QSlider>("horizontalSlider_ProgressBar");
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    const QRect knob = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    const QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
    const QPoint at(groove.x() + knob.width() / 2 + (groove.width() - knob.width()) * 3 / 4, slider->height() / 2);
    QWindow *handle = window->windowHandle();
    const QPoint target = slider->mapTo(window.get(), at);
    if (onKnob) {
        QTest::mousePress(handle, Qt::LeftButton, {}, slider->mapTo(window.get(), knob.center()));
        QTest::mouseMove(handle, target);
        QTest::mouseRelease(handle, Qt::LeftButton, {}, target);
    } else {
        QTest::mouseClick(handle, Qt::LeftButton, {}, target);
    }
    const qint64 wanted = slider->maximum() * 3 / 4;
    QTRY_VERIFY2(qAbs(engine->getPlayer()->position() - wanted) < 400,
                 qPrintable(QString::number(engine->getPlayer()->position())));
    QTest::qWait(300);
    QCOMPARE(engine->getPlayer()->state(), playing ? QMediaPlayer::PlayingState : QMediaPlayer::PausedState);
}

void TestMainWindow::dropOpensMp3Only_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("opened");

    QTest::newRow("mp3") << "tone copy.mp3" << true;
    QTest::newRow("text file") << "notes.txt" << false;
}

void TestMainWindow::dropOpensMp3Only()
{
    QFETCH(QString, name);
    QFETCH(bool, opened);

    const QString path = sandbox.filePath("sources/" + name);
    if (!QFile::exists(path)) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
    }
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &enter);
    QVERIFY(enter.isAccepted());
    QString shown;
    auto notice = answerNextMessageBox(&shown);
    QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(window.get(), &drop);

    auto *box = child<QComboBox>("lineEdit_CurrentFile");
    if (opened) {
        QVERIFY(!notice->finished());
        QCOMPARE(box->currentText(), path);
        QCOMPARE(engine->getPlayer()->getFile(), path);
        QTRY_COMPARE_WITH_TIMEOUT(engine->getPlayer()->state(), QMediaPlayer::PlayingState, 10000);
    } else {
        QVERIFY(notice->finished());
        QCOMPARE(shown, QStringLiteral("File is not exist."));
        QCOMPARE(box->currentText(), source);
        QCOMPARE(box->count(), 3);
    }
}

// Dropped, or picked from the history: a file the window cannot use is
// named in a notice and changes nothing; a gone one leaves the history.
void TestMainWindow::unusableFilesGetANotice_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("notice");

    QImage picture(64, 64, QImage::Format_RGB32);
    picture.fill(Qt::darkCyan);
    QBuffer png;
    png.open(QIODevice::WriteOnly);
    picture.save(&png, "PNG");
    QTest::newRow("picture named .mp3") << sandbox.filePath("sources/picture.mp3") << png.data()
                                        << "\"picture.mp3\" holds no MP3 audio: it cannot be played or cut.";
    QTest::newRow("empty file") << sandbox.filePath("sources/empty.mp3") << QByteArray()
                                << "\"empty.mp3\" is empty: there is nothing to play or cut.";
    QTest::newRow("history entry gone") << "/gone/old.mp3" << QByteArray()
        << "\"old.mp3\" is no longer there: it was moved or deleted. It leaves the list of opened files.";
}

void TestMainWindow::unusableFilesGetANotice()
{
    QFETCH(QString, path);
    QFETCH(QByteArray, content);
    QFETCH(QString, notice);

    auto *box = child<QComboBox>("lineEdit_CurrentFile");
    QString shown;
    auto driver = answerNextDialog("pushButtonConfirm", &shown);
    const bool gone = !path.startsWith(sandbox.path());
    if (gone) {
        box->showPopup();
        QAbstractItemView *view = box->view();
        QTRY_VERIFY(view->isVisible());
        const QRect item = view->visualRect(view->model()->index(box->findText(path), 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, item.center());
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
        file.close();
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &enter);
        QDropEvent drop(QPointF(300, 300), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(window.get(), &drop);
    }
    QTRY_VERIFY(driver->finished());
    QCOMPARE(shown, notice);
    QCOMPARE(box->findText(path), -1);
    QCOMPARE(box->count(), gone ? 2 : 3);
    const QStringList history = window->findChild<AppSettings *>()
        ->getValue(SettingsKeys::common, SettingsKeys::operationSection, SettingsKeys::openHistory).toStringList();
    QVERIFY(!history.contains(path));
    QCOMPARE(engine->getPlayer()->state(), QMediaPlayer::StoppedState);
    QVERIFY(!preview->isEnabled());
}

void TestMainWindow::longSourceRefused_data()
{
    QTest::addColumn<qint64>("length");
    QTest::addColumn<bool>("refused");

    const qint64 day = 24LL * 3600 * 1000;
    QTest::newRow("just under a day") << day - 1 << false;
    QTest::newRow("a day") << day << true;
    QTest::newRow("80 hours") << 80 * 3600 * 1000LL << true;
}

// The time fields count within one day: a longer file is not offered for
// cutting at all, rather than cut at a wrapped time.
void TestMainWindow::longSourceRefused()
{
    QFETCH(qint64, length);
    QFETCH(bool, refused);

    play();
    QString shown;
    auto notice = answerNextDialog("pushButtonConfirm", &shown);
    emit engine->getPlayer()->durationChanged(length);
    if (refused) {
        QTRY_VERIFY(notice->finished());
        QCOMPARE(shown, QStringLiteral("This file is 24 hours or longer. Snipwave cuts files shorter than 24 hours only."));
        QCOMPARE(engine->getPlayer()->state(), QMediaPlayer::StoppedState);
        QVERIFY(!preview->isEnabled());
        QVERIFY(!child<QPushButton>("pushButton_play")->isEnabled());
    } else {
        QTest::qWait(100);
        QVERIFY(!notice->finished());
        QVERIFY(preview->isEnabled());
    }
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
    chooseTheme("3", "radioButtonPurple");
    QVERIFY(window->close());
    QFile file(settingsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject common = QJsonDocument::fromJson(file.readAll()).object().value("Common").toObject();
    QCOMPARE(common["Operation"].toObject()["OpenHistoryList"].toArray().first().toString(), source);
    QCOMPARE(common["Operation"].toObject()["SavePath"].toString(), saveDir);
    QCOMPARE(common["StyleSheet"].toObject()["index"].toInt(), 3);
    QCOMPARE(common["StyleSheet"].toObject()["SelectColor"].toString(), QStringLiteral("#91007B"));
}

// Declining changes nothing; confirming writes the settings as closing
// does, then ends the event loop.
void TestMainWindow::exitWritesSettings()
{
    chooseTheme("1", "radioButtonBlue");
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
    QFile file(settingsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject style = QJsonDocument::fromJson(file.readAll()).object()["Common"].toObject()["StyleSheet"].toObject();
    QCOMPARE(style["SelectColor"].toString(), QStringLiteral("#00709E"));
}

// The two cut options start off with a file that lacks them, are written on
// close and read back, and change the file a cut writes as the cutter plans
// it: tags in front, a trimming header frame.
void TestMainWindow::cutModesPersistAndReachTheCut_data()
{
    QTest::addColumn<bool>("exact");
    QTest::addColumn<bool>("keepTags");
    QTest::newRow("whole frames") << false << false;
    QTest::newRow("exact") << true << false;
    QTest::newRow("keep tags") << false << true;
    QTest::newRow("both") << true << true;
}

void TestMainWindow::cutModesPersistAndReachTheCut()
{
    QFETCH(bool, exact);
    QFETCH(bool, keepTags);
    const QString tagged = sandbox.filePath("sources/tagged.mp3");
    {
        QFile out(tagged);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(titleTag("Snipwave title") + frames.bytes.mid(frames.offsets.first()));
    }
    auto *exactAction = child<QAction>("actionExactCut");
    auto *tagsAction = child<QAction>("actionKeepTags");
    QVERIFY(exactAction->isCheckable() && !exactAction->isChecked());
    QVERIFY(tagsAction->isCheckable() && !tagsAction->isChecked());
    exactAction->setChecked(exact);
    tagsAction->setChecked(keepTags);

    window->openFile(tagged);
    QTRY_VERIFY_WITH_TIMEOUT(duration() > 7000, 30000);
    QString path;
    cut(2000, 4000, &path);
    QFile output(path);
    QVERIFY(output.open(QIODevice::ReadOnly));
    const QByteArray written = output.readAll();

    SourceFile input;
    QVERIFY(input.open(tagged));
    CutRequest request;
    request.startMs = 2000;
    request.endMs = 4000;
    request.mode = exact ? CutRequest::Exact : CutRequest::WholeFrames;
    request.keepTags = keepTags;
    const CutPlan plan = CutJob::plan(input, tagged, request);
    QCOMPARE(plan.error, 0);
    QCOMPARE(written.size(), plan.outputBytes());
    QCOMPARE(written.startsWith("ID3"), keepTags);
    QCOMPARE(written.contains("Snipwave title"), keepTags);
    QCOMPARE(written == expectedCut(2000, 4000), !exact && !keepTags);

    QVERIFY(window->close());
    QFile file(settingsFile);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QJsonObject cutSection =
        QJsonDocument::fromJson(file.readAll()).object()["Common"].toObject()["Cut"].toObject();
    // An option never switched on stays out of the file: missing means off.
    QCOMPARE(cutSection["ExactCut"].toBool(), exact);
    QCOMPARE(cutSection["KeepTags"].toBool(), keepTags);
    window = std::make_unique<MainWindow>();
    QCOMPARE(child<QAction>("actionExactCut")->isChecked(), exact);
    QCOMPARE(child<QAction>("actionKeepTags")->isChecked(), keepTags);
}

// Beside the length: what the cut plays, as the cutter plans it. Whole
// frames start and end on frame boundaries near the marks; an exact cut
// plays the marks themselves. A change of mode plans again.
void TestMainWindow::heardRangeFollowsThePlan_data()
{
    QTest::addColumn<int>("startMs");
    QTest::addColumn<int>("endMs");
    QTest::newRow("inside") << 2000 << 4000;
    QTest::newRow("from the first frame") << 0 << 6300;
}

void TestMainWindow::heardRangeFollowsThePlan()
{
    QFETCH(int, startMs);
    QFETCH(int, endMs);
    auto *label = child<QLabel>("label_heardRange");
    QVERIFY(label);
    play();
    setMarks(startMs, endMs);

    QFile file(source);
    QVERIFY(file.open(QIODevice::ReadOnly));
    CutRequest request;
    request.startMs = startMs;
    request.endMs = endMs;
    const CutPlan wholeFrames = CutPlanner::plan(&file, request);
    request.mode = CutRequest::Exact;
    const CutPlan exact = CutPlanner::plan(&file, request);
    QCOMPARE(wholeFrames.error, 0);
    QCOMPARE(exact.heardStartMs(), qint64(startMs));
    QCOMPARE(exact.heardEndMs(), qint64(endMs));
    QCOMPARE(wholeFrames.heardEnd, qint64(frameAt(endMs)) * 1152);
    QVERIFY(heardText(wholeFrames) != heardText(exact));

    QTRY_COMPARE(label->text(), heardText(wholeFrames));
    child<QAction>("actionExactCut")->trigger();
    QTRY_COMPARE(label->text(), heardText(exact));
    setMarks(0, 0);
    QTRY_COMPARE(label->text(), QString());
}

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
