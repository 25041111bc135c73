// MainWindow, the marks: every way of marking ends in the mark model, and the
// fields, the handles and the length label follow it. Also what works on the
// marks without changing them: undo and redo, the zoomed view of the
// selection bar with the playhead, and hearing the edges of the piece.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "engine.h"
#include "markmodel.h"
#include "musicplayer.h"

#include <QAction>
#include <QMenu>
#include <QSignalBlocker>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

// One zoom step, by key or wheel notch.
constexpr double zoomStep = 2.0;
// One wheel notch scrolls this share of the view.
constexpr double scrollStep = 0.1;
// While the source plays, the playhead moves and an edge is stopped this
// often; the player's own reports are far apart.
constexpr int playTickMs = 25;

QTime timeOf(qint64 ms)
{
    return QTime(0, 0).addMSecs(static_cast<int>(ms));
}

// A time as a fraction of the whole source for the selection bar, kept
// within the bar: a mark typed beyond the end puts its handle at the end.
float fractionOf(qint64 ms, qint64 duration)
{
    return static_cast<float>(std::clamp(double(ms) / double(duration), 0.0, 1.0));
}

} // namespace

void MainWindow::setupMarks()
{
    marks = engine->getMarks();
    connect(marks, &MarkModel::changed, this, &MainWindow::showMarks);
    connect(marks, &MarkModel::viewChanged, this, &MainWindow::showView);
    connect(marks, &MarkModel::historyChanged, this, &MainWindow::updateEditActions);

    SelectBar *bar = ui->widgetSelectBar;
    connect(bar, &SelectBar::dragStarted, marks, &MarkModel::beginGesture);
    connect(bar, &SelectBar::dragFinished, this, [this] {
        marks->endGesture();
        placeHandlesOnMarks();
    });
    connect(bar, &SelectBar::zoomRequested, this, [this](double notches, double fraction) {
        marks->zoom(std::pow(zoomStep, notches), fraction * double(marks->duration()));
    });
    connect(bar, &SelectBar::scrollRequested, this, [this](double notches) { marks->scroll(notches * scrollStep); });

    MusicPlayer *player = engine->getPlayer();
    // The engine gave the model the new duration already, which showed the
    // whole file.
    connect(player, &QMediaPlayer::durationChanged, this, [this] {
        const SourceFrames frames = sourceFrames(engine->getPlayer()->getFile());
        marks->setFrameMs(frames.frameMs);
        frameGridOffsetMs = frames.gridOffsetMs;
        showView();
    });
    connect(player, &QMediaPlayer::positionChanged, this, &MainWindow::showPlayhead);
    playTimer = new QTimer(this);
    playTimer->setInterval(playTickMs);
    connect(playTimer, &QTimer::timeout, this, &MainWindow::onPlayTick);
    connect(player, &QMediaPlayer::stateChanged, this, [this](QMediaPlayer::State state) {
        if (state == QMediaPlayer::PlayingState) {
            playTimer->start();
        } else {
            playTimer->stop();
            edgeStopAt = -1;
        }
        showPlayhead(engine->getPlayer()->position());
    });

    setupEditMenu();
}

// Menu entries, so that the keys can be found; they act only while the marks
// can be changed.
void MainWindow::setupEditMenu()
{
    auto *menu = new QMenu(tr("Edit"), this);
    menu->setObjectName(QStringLiteral("menuEdit"));
    ui->menuBar->insertMenu(ui->menuSettings->menuAction(), menu);

    const auto add = [this, menu](const char *name, const QString &text, const QList<QKeySequence> &keys,
                                  void (MainWindow::*slot)()) {
        auto *action = menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        action->setShortcuts(keys);
        connect(action, &QAction::triggered, this, slot);
        return action;
    };
    undoAction = add("actionUndo", tr("Undo mark change"), {QKeySequence(Qt::CTRL + Qt::Key_Z)}, &MainWindow::undoMarks);
    redoAction = add("actionRedo", tr("Redo mark change"),
                     {QKeySequence(Qt::CTRL + Qt::SHIFT + Qt::Key_Z), QKeySequence(Qt::CTRL + Qt::Key_Y)},
                     &MainWindow::redoMarks);
    menu->addSeparator();
    add("actionCutOut", tr("Cut out the selection"), {QKeySequence(Qt::Key_Delete)}, &MainWindow::cutOutSelection);
    menu->addSeparator();
    add("actionZoomIn", tr("Zoom in"), {QKeySequence(Qt::CTRL + Qt::Key_Equal), QKeySequence(Qt::CTRL + Qt::Key_Plus)},
        &MainWindow::zoomIn);
    add("actionZoomOut", tr("Zoom out"), {QKeySequence(Qt::CTRL + Qt::Key_Minus)}, &MainWindow::zoomOut);
    add("actionZoomAll", tr("Whole file"), {QKeySequence(Qt::CTRL + Qt::Key_0)}, &MainWindow::zoomAll);
    menu->addSeparator();
    add("actionHearToStart", tr("Hear up to the start"), {QKeySequence(Qt::SHIFT + Qt::Key_F5)},
        &MainWindow::hearUpToStart);
    add("actionHearFromStart", tr("Hear from the start"), {QKeySequence(Qt::SHIFT + Qt::Key_F6)},
        &MainWindow::hearFromStart);
    add("actionHearToEnd", tr("Hear up to the end"), {QKeySequence(Qt::SHIFT + Qt::Key_F7)}, &MainWindow::hearUpToEnd);
    menu->addSeparator();
    previousChapterAction = add("actionPreviousChapter", tr("Previous chapter"), {QKeySequence(Qt::Key_PageUp)},
                                &MainWindow::previousChapter);
    nextChapterAction = add("actionNextChapter", tr("Next chapter"), {QKeySequence(Qt::Key_PageDown)},
                            &MainWindow::nextChapter);
    markChapterAction = add("actionMarkChapter", tr("Select the chapter"), {QKeySequence(Qt::Key_C)},
                            &MainWindow::markChapter);
    updateEditActions();
}

QString MainWindow::marksHelp()
{
    return tr("Marks and the bar:\n"
              "Delete: cut out the selection (the rest of the file is saved)\n"
              "Ctrl+Z / Ctrl+Shift+Z: undo or redo a change of the points\n"
              "Ctrl+= / Ctrl+- / Ctrl+0: zoom the bar in, out, or show the whole file\n"
              "Ctrl+wheel on the bar: zoom around the pointer; wheel: scroll\n"
              "Shift+F5: hear up to the start point\n"
              "Shift+F6: hear from the start point\n"
              "Shift+F7: hear up to the end point (the file's end if none is set)\n"
              "Time fields take 83.4, 1:23.456 or 0:01:23.456, typed or pasted; Esc drops what was typed.");
}

bool MainWindow::marksEditable() const
{
    return ui->widgetSelectBar->isEnabled() && ui->pushButton_start->isEnabled();
}

void MainWindow::updateEditActions()
{
    undoAction->setEnabled(marks->canUndo());
    redoAction->setEnabled(marks->canRedo());
}

void MainWindow::applyMarks(qint64 start, qint64 end)
{
    marks->mark(start, end);
    // A mark the model kept as it was still puts the fields right.
    showMarks();
}

// The fields change under a blocker: their own slots would mark again.
void MainWindow::showMarks()
{
    const qint64 start = marks->start();
    const qint64 end = marks->end();
    {
        const QSignalBlocker startBlocker(ui->timeEdit_start);
        const QSignalBlocker endBlocker(ui->timeEdit_end);
        ui->timeEdit_start->setTime(timeOf(start));
        ui->timeEdit_end->setTime(timeOf(end));
    }
    if (end >= start)
        ui->label_cuttingLength->setText(MusicPlayer::durationText(end - start));
    placeHandlesOnMarks();
    scheduleHeardRange();
}

// Without a duration (no media yet) the handles stay where they are; a
// handle being dragged is where the user holds it. With no end mark the end
// handle stands for the file's end, which a zoomed view may not show.
void MainWindow::placeHandlesOnMarks()
{
    const qint64 duration = marks->duration();
    if (duration <= 0 || ui->widgetSelectBar->isDragging())
        return;
    ui->widgetSelectBar->setStartPercent(fractionOf(marks->start(), duration));
    if (marks->end() > 0)
        ui->widgetSelectBar->setEndPercent(fractionOf(marks->end(), duration));
    else if (marks->isZoomed())
        ui->widgetSelectBar->setEndPercent(1.0f);
}

void MainWindow::onSendStartPercent(float startPercent)
{
    const auto ms = static_cast<qint64>(static_cast<long double>(marks->duration()) * startPercent);
    applyMarks(ms, marks->end());
}

void MainWindow::onSendEndPercent(float endPercent)
{
    const auto ms = static_cast<qint64>(static_cast<long double>(marks->duration()) * endPercent);
    applyMarks(marks->start(), ms);
}

void MainWindow::undoMarks()
{
    if (marksEditable())
        marks->undo();
}

void MainWindow::redoMarks()
{
    if (marksEditable())
        marks->redo();
}

// ---------------------------------------------------------------------------
// The view of the selection bar

void MainWindow::showView()
{
    const double duration = double(marks->duration());
    SelectBar *bar = ui->widgetSelectBar;
    if (duration <= 0) {
        bar->setView(0.0, 1.0);
        bar->setFrameGrid(0.0, 0.0);
        return;
    }
    bar->setView(marks->viewStart() / duration, (marks->viewStart() + marks->viewLength()) / duration);
    bar->setFrameGrid(marks->frameMs() / duration, frameGridOffsetMs / duration);
    placeHandlesOnMarks();
}

// Keys zoom around the playhead while there is one, else around the middle
// of the view.
double MainWindow::zoomAnchor() const
{
    const MusicPlayer *player = engine->getPlayer();
    if (player->state() != QMediaPlayer::StoppedState)
        return double(player->position());
    return marks->viewStart() + marks->viewLength() / 2;
}

void MainWindow::zoomIn()
{
    if (marksEditable())
        marks->zoom(zoomStep, zoomAnchor());
}

void MainWindow::zoomOut()
{
    if (marksEditable())
        marks->zoom(1.0 / zoomStep, zoomAnchor());
}

void MainWindow::zoomAll()
{
    marks->showAll();
}

// The view turns its page when the playhead runs off it.
void MainWindow::showPlayhead(qint64 position)
{
    const MusicPlayer *player = engine->getPlayer();
    const qint64 duration = marks->duration();
    if (player->state() == QMediaPlayer::StoppedState || duration <= 0) {
        ui->widgetSelectBar->setPlayhead(-1.0);
        lastPosition = 0;
        return;
    }
    if (player->state() == QMediaPlayer::PlayingState)
        marks->follow(position, lastPosition);
    lastPosition = position;
    ui->widgetSelectBar->setPlayhead(double(position) / double(duration));
}

// ---------------------------------------------------------------------------
// Hearing the edges: a short stretch plays and stops where it ends; the
// marks stay as they are.

void MainWindow::hearEdge(int edge)
{
    MusicPlayer *player = engine->getPlayer();
    if (!marksEditable() || player->state() == QMediaPlayer::StoppedState)
        return;
    const MarkModel::Range plan = marks->edgePlan(MarkModel::Edge(edge));
    if (plan.end <= plan.start)
        return;
    player->setPosition(plan.start);
    player->play();
    edgeStopAt = plan.end;
    edgeArmed = false;
}

void MainWindow::hearUpToStart()
{
    hearEdge(MarkModel::UpToStart);
}

void MainWindow::hearFromStart()
{
    hearEdge(MarkModel::FromStart);
}

void MainWindow::hearUpToEnd()
{
    hearEdge(MarkModel::UpToEnd);
}

// Anything that stops or pauses the playback ends an edge as well. The edge
// stops only once the seek to its beginning has shown: until then the
// position may still be the one from before.
void MainWindow::onPlayTick()
{
    MusicPlayer *player = engine->getPlayer();
    const qint64 position = player->position();
    showPlayhead(position);
    if (edgeStopAt < 0)
        return;
    if (position < edgeStopAt)
        edgeArmed = true;
    else if (edgeArmed)
        player->pause();
}
