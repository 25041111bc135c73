// The window's marks with real keys and mouse: typed and pasted times, undo
// and redo however a mark was made, the zoomed selection bar, the End key
// and the end handle at the file's end, hearing the edges, and the chapters
// of a file on the bar and under the keys. A sandboxed
// home and real playback, as in the main window's own test.

#include "barline.h"
#include "engine.h"
#include "mainwindow.h"
#include "markmodel.h"
#include "mp3splitter.h"
#include "mp3streambuilder.h"
#include "musicplayer.h"
#include "scan/mp3fileinfo.h"
#include "selectbar.h"
#include "tags/chapterwriter.h"
#include "tags/tagblock.h"
#include "testfiles.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QJsonArray>
#include <QLabel>
#include <QMenu>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeEdit>
#include <QTimer>
#include <QToolTip>
#include <QWheelEvent>

#include <memory>

Q_DECLARE_METATYPE(MarkModel::Range)

class TestWindowMarks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void typedTimes_data();
    void typedTimes();
    void undoAnyWayOfMarking();
    void zoomKeepsHandlesOnTheMarks();
    void endIsTheFilesEndWithoutEndMark();
    void hearEdges_data();
    void hearEdges();
    void cutOutKeepsTheRestAndPlaysTheSeam_data();
    void cutOutKeepsTheRestAndPlaysTheSeam();
    void fadeAndLevelReachTheCut();
    void chaptersComeWithTheFile();
    void chapterKeys_data();
    void chapterKeys();

private:
    void pauseAt(qint64 ms);
    void openChapteredAt(qint64 ms);
    void drag(QPushButton *handle, int toX);
    QTimeEdit *field(const char *name) const { return window->findChild<QTimeEdit *>(QLatin1String(name)); }
    qint64 duration() const { return marks->duration(); }
    qint64 position() const { return engine->getPlayer()->position(); }

    QTemporaryDir sandbox;
    QByteArray settingsContent;
    QString chaptered;
    std::unique_ptr<MainWindow> window;
    Engine *engine = nullptr;
    MarkModel *marks = nullptr;
    SelectBar *bar = nullptr;
};

void TestWindowMarks::initTestCase()
{
    QVERIFY(sandbox.isValid());
    keepGStreamerRegistry();
    qputenv("HOME", QFile::encodeName(sandbox.filePath("home")));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(sandbox.filePath("config")));
    QVERIFY(QDir().mkpath(sandbox.filePath("home/cuts")));
    QVERIFY(QDir().mkpath(sandbox.filePath("config/snipwave")));
    qApp->setQuitOnLastWindowClosed(false);

    // About 8 s: the tone's audio frames four times over, without its Info
    // frame, so that players measure the frames.
    QFile tone(QStringLiteral(SNIPWAVE_TEST_DATA "/tone_440hz_2s.mp3"));
    QVERIFY(tone.open(QIODevice::ReadOnly));
    const QByteArray toneBytes = tone.readAll();
    const int infoLength = Mp3StreamBuilder::frameLength(quint8(toneBytes[1]), quint8(toneBytes[2]));
    const QString source = sandbox.filePath("tone 8s.mp3");
    QFile out(source);
    QVERIFY(out.open(QIODevice::WriteOnly));
    for (int round = 0; round < 4; ++round)
        out.write(toneBytes.mid(infoLength));
    out.close();

    // The same audio under a tag of three chapters, with a gap after the last.
    chaptered = sandbox.filePath("chapters 8s.mp3");
    TagBlock tag = TagBlock::empty();
    const QVector<Chapter> chapters{{"One", 0, 2500}, {"Two", 2500, 5000}, {"Three", 5000, 7000}};
    for (const TagBlock::Frame &frame : ChapterWriter::frames(chapters, tag.version()))
        tag.addFrame(frame);
    QFile tagged(chaptered);
    QVERIFY(tagged.open(QIODevice::WriteOnly) && out.open(QIODevice::ReadOnly));
    tagged.write(tag.render(0) + out.readAll());

    const QJsonObject operation{{"OpenHistoryList", QJsonArray{source}},
                                {"SavePath", sandbox.filePath("home/cuts")}};
    settingsContent = QJsonDocument(QJsonObject{{"Common", QJsonObject{{"Operation", operation}}}}).toJson();
}

void TestWindowMarks::init()
{
    QFile settings(sandbox.filePath("config/snipwave/settings.json"));
    QVERIFY(settings.open(QIODevice::WriteOnly));
    settings.write(settingsContent);
    settings.close();

    window = std::make_unique<MainWindow>();
    window->resetUi();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QApplication::setActiveWindow(window.get());
    engine = window->findChild<Engine *>();
    marks = engine->getMarks();
    bar = window->findChild<SelectBar *>(QStringLiteral("widgetSelectBar"));
    QVERIFY(engine && bar);
}

void TestWindowMarks::cleanup()
{
    window.reset();
}

// Plays until the duration is known (the marks need it), then pauses at ms.
void TestWindowMarks::pauseAt(qint64 ms)
{
    QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pushButton_play")), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(engine->getPlayer()->state(), QMediaPlayer::PlayingState, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(duration() > 7000, 10000);
    engine->getPlayer()->pause();
    engine->getPlayer()->setPosition(ms);
    QTRY_VERIFY(qAbs(position() - ms) < 30);
}

void TestWindowMarks::drag(QPushButton *handle, int toX)
{
    QWindow *host = window->windowHandle();
    const QPoint grip(5, 10);
    QTest::mousePress(host, Qt::LeftButton, {}, handle->mapTo(window.get(), grip));
    QTest::mouseMove(host, bar->mapTo(window.get(), QPoint(toX + grip.x(), 10)));
    QTest::mouseRelease(host, Qt::LeftButton, {}, bar->mapTo(window.get(), QPoint(toX + grip.x(), 10)));
}

void TestWindowMarks::typedTimes_data()
{
    QTest::addColumn<QString>("fieldName");
    QTest::addColumn<QString>("typed");  // "paste:" and the clipboard's text, or keys
    QTest::addColumn<int>("finalKey");
    QTest::addColumn<int>("expected");   // the field's mark afterwards; -1: the file's end

    const QString start("timeEdit_start");
    const QString end("timeEdit_end");
    QTest::newRow("seconds") << start << "2.5" << int(Qt::Key_Return) << 2500;
    QTest::newRow("M:SS.mmm is minutes and seconds") << start << "0:03.25" << int(Qt::Key_Return) << 3250;
    QTest::newRow("H:MM:SS.mmm") << end << "0:00:07.125" << int(Qt::Key_Return) << 7125;
    QTest::newRow("the field's own form, taken on leaving") << end << "00:00:05\"500" << int(Qt::Key_Tab) << 5500;
    QTest::newRow("past the end is the end") << end << "50" << int(Qt::Key_Return) << -1;
    QTest::newRow("99:99 is no time") << start << "99:99" << int(Qt::Key_Return) << 1000;
    QTest::newRow("pasted with blanks") << start << "paste: 4.5\n" << int(Qt::Key_Return) << 4500;
    QTest::newRow("Esc drops it") << start << "3" << int(Qt::Key_Escape) << 1000;
}

void TestWindowMarks::typedTimes()
{
    QFETCH(QString, fieldName);
    QFETCH(QString, typed);
    QFETCH(int, finalKey);
    QFETCH(int, expected);

    pauseAt(0);
    marks->mark(1000, 6000);
    QTimeEdit *edit = field(qPrintable(fieldName));
    // Into the seconds, as a person clicks before typing.
    auto *text = edit->findChild<QLineEdit *>();
    const int secondsX = text->contentsRect().left() + 2 + text->fontMetrics().horizontalAdvance("00:00:0");
    QTest::mouseClick(text, Qt::LeftButton, {}, QPoint(secondsX, text->height() / 2));
    QTRY_VERIFY(edit->hasFocus());
    if (typed.startsWith("paste:")) {
        QApplication::clipboard()->setText(typed.mid(6));
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
    } else {
        // As a keyboard types it: Shift goes down on its own before a ':'.
        for (const QChar c : typed) {
            if (c == ':' || c == '"') {
                QTest::keyPress(edit, Qt::Key_Shift);
                QTest::keyClick(edit, c.toLatin1(), Qt::ShiftModifier);
                QTest::keyRelease(edit, Qt::Key_Shift);
            } else {
                QTest::keyClick(edit, c.toLatin1());
            }
        }
    }
    QTest::keyClick(edit, Qt::Key(finalKey));

    const qint64 want = expected < 0 ? duration() : expected;
    QCOMPARE(fieldName == "timeEdit_start" ? marks->start() : marks->end(), want);
    QCOMPARE(edit->time(), QTime(0, 0).addMSecs(int(want)));
    QCOMPARE(edit->findChild<QLineEdit *>()->text(), MusicPlayer::durationText(want));
}

// Fields, scissors keys and handles all undo, in order; zooming does not
// count; with the focus in a field Ctrl+Z still undoes the marks.
void TestWindowMarks::undoAnyWayOfMarking()
{
    pauseAt(3000);
    QTimeEdit *startField = field("timeEdit_start");
    startField->setFocus();
    QTRY_VERIFY(startField->hasFocus());
    QTest::keyClicks(startField, "1");
    QTest::keyClick(startField, Qt::Key_Return);
    window->setFocus();
    QTest::keyClick(window.get(), Qt::Key_O);
    auto *rightHandle = bar->findChild<QPushButton *>(QStringLiteral("pushButtonRightHandle"));
    drag(rightHandle, rightHandle->x() + 60);
    const qint64 dragged = marks->end();
    QVERIFY(dragged > 3000);
    QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    QVERIFY(marks->isZoomed());

    const QList<MarkModel::Range> back{{1000, 3000}, {1000, 0}, {0, 0}};
    for (const MarkModel::Range &expected : back) {
        QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(marks->marks(), expected);
    }
    startField->setFocus();
    QTRY_VERIFY(startField->hasFocus());
    QTest::keyClick(startField, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(startField, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(marks->marks(), (MarkModel::Range{1000, 3000}));
    QCOMPARE(startField->time(), QTime(0, 0, 1));
    QVERIFY(marks->isZoomed());
}

// Keys zoom around the playhead, the wheel around the pointer; the handles
// stay on the marks' times and the playhead is drawn where it plays.
void TestWindowMarks::zoomKeepsHandlesOnTheMarks()
{
    pauseAt(3000);
    marks->mark(2500, 4000);
    auto *line = bar->findChild<BarLine *>(QStringLiteral("widgetBar"));
    auto *leftHandle = bar->findChild<QPushButton *>(QStringLiteral("pushButtonLeftHandle"));
    const auto handleTime = [&] { return bar->fractionAt(leftHandle->x() + 20) * double(duration()); };
    const double frameMs = 1152 * 1000.0 / 44100;

    QTRY_VERIFY(qAbs(line->playhead() * duration() - 3000) < 30);
    const qint64 playheadColumn = line->columnAt(line->playhead());
    QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    QCOMPARE(marks->viewLength(), duration() / 4.0);
    QVERIFY(qAbs(line->columnAt(line->playhead()) - playheadColumn) <= 1);
    QVERIFY(leftHandle->isVisible());
    QVERIFY(qAbs(handleTime() - 2500) < marks->viewLength() / (bar->width() - 38) + 1);

    // Wheel notches closer, around a point of the bar: that time stays put.
    const QPoint at(bar->width() / 3, 10);
    const double before = bar->fractionAt(at.x());
    for (int notch = 0; notch < 8; ++notch) {
        QWheelEvent wheel(at, bar->mapToGlobal(at), QPoint(), QPoint(0, 120), Qt::NoButton, Qt::ControlModifier,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(bar, &wheel);
    }
    QVERIFY(qAbs(bar->fractionAt(at.x()) - before) * duration() < 1);
    QCOMPARE(marks->viewLength(), MarkModel::ClosestViewFrames * frameMs);

    QTest::keyClick(window.get(), Qt::Key_0, Qt::ControlModifier);
    QVERIFY(!marks->isZoomed());
    QCOMPARE(leftHandle->x(), int((bar->width() - 38) * float(2500.0 / duration())));
    QCOMPARE(marks->marks(), (MarkModel::Range{2500, 4000}));
}

// The bar shows the end handle at the file's end while no end is marked:
// End goes there, and the handle dragged fully right marks it.
void TestWindowMarks::endIsTheFilesEndWithoutEndMark()
{
    pauseAt(1000);
    QTest::keyClick(window.get(), Qt::Key_End);
    QTRY_VERIFY2(position() > duration() - 100, qPrintable(QString::number(position())));

    auto *rightHandle = bar->findChild<QPushButton *>(QStringLiteral("pushButtonRightHandle"));
    drag(rightHandle, 300);
    QVERIFY(marks->end() < duration());
    drag(rightHandle, bar->width() + 5);
    QCOMPARE(marks->end(), duration());
}

void TestWindowMarks::hearEdges_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");

    QTest::newRow("Shift+F5: up to the start") << int(Qt::Key_F5) << 1000 << 3000;
    QTest::newRow("Shift+F6: from the start") << int(Qt::Key_F6) << 3000 << 5000;
    QTest::newRow("Shift+F7: up to the end") << int(Qt::Key_F7) << 4000 << 6000;
}

// The stretch plays and pauses where it ends; the marks stay.
void TestWindowMarks::hearEdges()
{
    QFETCH(int, key);
    QFETCH(int, from);
    QFETCH(int, to);

    pauseAt(500);
    marks->mark(3000, 6000);
    qint64 earliest = duration();
    connect(engine->getPlayer(), &QMediaPlayer::positionChanged, this,
            [&](qint64 at) { earliest = std::min(earliest, at); });
    QTest::keyClick(window.get(), Qt::Key(key), Qt::ShiftModifier);
    QTRY_COMPARE(engine->getPlayer()->state(), QMediaPlayer::PlayingState);
    QTRY_COMPARE_WITH_TIMEOUT(engine->getPlayer()->state(), QMediaPlayer::PausedState, 10000);
    QVERIFY2(qAbs(position() - to) < 120, qPrintable(QString::number(position())));
    QVERIFY2(earliest >= from - 60, qPrintable(QString::number(earliest)));
    QCOMPARE(marks->marks(), (MarkModel::Range{3000, 6000}));
}

void TestWindowMarks::cutOutKeepsTheRestAndPlaysTheSeam_data()
{
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("end"); // -1: the file's end
    QTest::addColumn<int>("heardFrom");

    QTest::newRow("the middle") << 5000 << 6000 << 5000 - int(Engine::SeamPreviewMs);
    QTest::newRow("the beginning") << 0 << 2000 << 0;
    QTest::newRow("up to the end") << 6000 << -1 << 0;
}

// Delete writes the file without the marked range, lists it, and plays it
// from a few seconds before the seam.
void TestWindowMarks::cutOutKeepsTheRestAndPlaysTheSeam()
{
    QFETCH(int, start);
    QFETCH(int, end);
    QFETCH(int, heardFrom);

    engine->setCutterFactory([] {
        auto *splitter = new Mp3Splitter;
        splitter->setMessagePause(0);
        return splitter;
    });
    pauseAt(0);
    const qint64 endMs = end < 0 ? duration() : end;
    marks->mark(start, endMs);
    auto *table = window->findChild<QTableWidget *>(QStringLiteral("tableWidget"));
    QList<qint64> heard;
    connect(engine->getSavedPlayer(), &QMediaPlayer::positionChanged, this, [&](qint64 at) { heard << at; });
    bool waited = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] { waited = waited || QApplication::activeModalWidget(); });
    watch.start(0);
    QTest::keyClick(window.get(), Qt::Key_Delete);
    QVERIFY(waited);
    QCOMPARE(table->rowCount(), 1);

    const Mp3FileInfo rest = Mp3FileInfo::read(engine->getOutputFile());
    QVERIFY2(qAbs(rest.durationMs - (duration() - (endMs - start))) < 60, qPrintable(QString::number(rest.durationMs)));
    // It jumps there: nothing before it is played.
    QTRY_COMPARE(engine->getSavedPlayer()->state(), QMediaPlayer::PlayingState);
    QTRY_VERIFY(engine->getSavedPlayer()->position() >= heardFrom - 60);
    for (const qint64 at : std::as_const(heard))
        QVERIFY2(at < 100 || at >= heardFrom - 60, qPrintable(QString::number(at)));
    QCOMPARE(marks->marks(), (MarkModel::Range{start, endMs}));
}

// Chosen in the menu, told under the length, stored, and the cut's frames
// carry them: same size as the plain cut, other bytes.
void TestWindowMarks::fadeAndLevelReachTheCut()
{
    engine->setCutterFactory([] {
        auto *splitter = new Mp3Splitter;
        splitter->setMessagePause(0);
        return splitter;
    });
    // A second a cut, so that the two cuts do not share a name.
    int ticks = 0;
    const QDateTime base(QDate(2026, 1, 1), QTime(12, 0));
    engine->setClock([&ticks, base] { return base.addSecs(++ticks); });
    pauseAt(0);
    const auto cut = [this] {
        QTest::mouseClick(window->findChild<QPushButton *>(QStringLiteral("pushButton_preview")), Qt::LeftButton);
        QFile out(engine->getOutputFile());
        return out.open(QIODevice::ReadOnly) ? out.readAll() : QByteArray();
    };
    marks->mark(1000, 5000);
    const QByteArray plain = cut();
    QVERIFY(!plain.isEmpty());

    const auto choose = [this](const char *menu, const QString &text) {
        for (QAction *action : window->findChild<QMenu *>(QLatin1String(menu))->actions()) {
            if (action->text() == text)
                action->trigger();
        }
    };
    choose("menuFadeInMs", "1 s");
    choose("menuLevelSteps", "+3.0 dB");
    QTRY_VERIFY(window->findChild<QLabel *>(QStringLiteral("label_heardRange"))->text().endsWith("fade in 1 s, +3.0 dB"));
    // The new cut plays at once and holds the controls until it stops.
    engine->getSavedPlayer()->stop();
    QTRY_COMPARE(engine->getCutterState(), int(Engine::IDEL));
    const QByteArray shaped = cut();
    QCOMPARE(window->findChild<QTableWidget *>()->rowCount(), 2);
    QCOMPARE(shaped.size(), plain.size());
    QVERIFY(shaped != plain);
    const PieceShape stored = engine->getPieceShape();
    QCOMPARE(stored.fadeInMs, qint64(1000));
    QCOMPARE(stored.levelSteps, 2);
}

void TestWindowMarks::openChapteredAt(qint64 ms)
{
    window->openFile(chaptered);
    QTRY_COMPARE_WITH_TIMEOUT(engine->getPlayer()->state(), QMediaPlayer::PlayingState, 30000);
    QTRY_VERIFY_WITH_TIMEOUT(duration() > 7000, 10000);
    QTRY_COMPARE(marks->chapters().size(), 3);
    engine->getPlayer()->pause();
    engine->getPlayer()->setPosition(ms);
    QTRY_VERIFY(qAbs(position() - ms) < 30);
}

// Read when the file opens, ticks with the titles as tooltips, and gone
// with the next file, whose chapter keys are then off.
void TestWindowMarks::chaptersComeWithTheFile()
{
    auto *line = bar->findChild<BarLine *>(QStringLiteral("widgetBar"));
    auto *next = window->findChild<QAction *>(QStringLiteral("actionNextChapter"));
    openChapteredAt(1000);
    QTRY_COMPARE(line->drawnChapterTicks().size(), 3);
    QVERIFY(next->isEnabled());
    const QPoint tick(line->drawnChapterTicks().at(1).first, 10);
    QHelpEvent help(QEvent::ToolTip, tick, line->mapToGlobal(tick));
    QApplication::sendEvent(line, &help);
    QTRY_VERIFY(QToolTip::text().startsWith("Two\n00:00:02\"500"));

    window->openFile(sandbox.filePath("tone 8s.mp3"));
    QTRY_VERIFY(marks->chapters().isEmpty());
    QVERIFY(line->drawnChapterTicks().isEmpty());
    QVERIFY(!next->isEnabled());
}

void TestWindowMarks::chapterKeys_data()
{
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("to");              // the playhead afterwards
    QTest::addColumn<MarkModel::Range>("marked");

    const MarkModel::Range none;
    QTest::newRow("Page Down: the next start") << 1000 << int(Qt::Key_PageDown) << 2500 << none;
    QTest::newRow("Page Up: this chapter's start") << 4000 << int(Qt::Key_PageUp) << 2500 << none;
    QTest::newRow("C: the chapter becomes the piece") << 3000 << int(Qt::Key_C) << 3000 << MarkModel::Range{2500, 5000};
}

// C is one change of the marks: the fields show it and one undo takes it
// back. The bar, zoomed in around the playhead, follows it.
void TestWindowMarks::chapterKeys()
{
    QFETCH(int, from);
    QFETCH(int, key);
    QFETCH(int, to);
    QFETCH(MarkModel::Range, marked);

    openChapteredAt(from);
    for (int step = 0; step < 4; ++step)
        QTest::keyClick(window.get(), Qt::Key_Equal, Qt::ControlModifier);
    QTest::keyClick(window.get(), Qt::Key(key));
    QTRY_VERIFY2(qAbs(position() - to) < 30, qPrintable(QString::number(position())));
    QVERIFY(to >= marks->viewStart() && to <= marks->viewStart() + marks->viewLength());
    QCOMPARE(marks->marks(), marked);
    QCOMPARE(field("timeEdit_end")->time(), QTime(0, 0).addMSecs(int(marked.end)));
    QTest::keyClick(window.get(), Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(marks->marks(), MarkModel::Range());
}

QTEST_MAIN(TestWindowMarks)
#include "tst_windowmarks.moc"
