// MainWindow, input: the keys, the progress slider, the time fields' step,
// and files that come by drop or from another start of the program.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "engine.h"
#include "markmodel.h"
#include "musicplayer.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QShortcut>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// The local file a drop carries, if it carries exactly one.
QString droppedFile(const QMimeData *data)
{
    if (!data || !data->hasUrls() || data->urls().size() != 1 || !data->urls().first().isLocalFile())
        return QString();
    return data->urls().first().toLocalFile();
}

// Sections of the time fields are runs of digits between separators: the
// section at a text position is the number of separators before it.
int sectionIndexAt(const QString &text, int position)
{
    int index = 0;
    for (int i = 0; i < position && i < text.size(); ++i) {
        if (!text.at(i).isDigit() && i + 1 < text.size() && text.at(i + 1).isDigit())
            ++index;
    }
    return index;
}

} // namespace

// Window-wide keys. A key that a focused time field or the path box would
// use for its text goes to that field instead: the fields claim such keys
// before any shortcut sees them. Return is taken in keyPressEvent, so that
// the path box keeps its own Return.
void MainWindow::setupKeys()
{
    ui->actionOpen->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_O));
    ui->actionHelp->setShortcut(QKeySequence(Qt::Key_F1));
    ui->actionExit->setShortcut(QKeySequence(Qt::CTRL + Qt::Key_Q));

    const std::pair<int, std::function<void()>> keys[] = {
        {Qt::Key_Space, [this] { togglePlay(); }},
        {Qt::Key_I, [this] { markStartHere(); }},
        {Qt::Key_BracketLeft, [this] { markStartHere(); }},
        {Qt::Key_O, [this] { markEndHere(); }},
        {Qt::Key_BracketRight, [this] { markEndHere(); }},
        {Qt::Key_Left, [this] { seekBy(-1000); }},
        {Qt::Key_Right, [this] { seekBy(1000); }},
        {Qt::SHIFT + Qt::Key_Left, [this] { stepFrames(-1); }},
        {Qt::SHIFT + Qt::Key_Right, [this] { stepFrames(1); }},
        {Qt::CTRL + Qt::Key_Left, [this] { seekBy(-10000); }},
        {Qt::CTRL + Qt::Key_Right, [this] { seekBy(10000); }},
        {Qt::Key_Home, [this] { jumpTo(engine->getStartTime()); }},
        // With no end mark the end is the file's end, where its handle is.
        {Qt::Key_End, [this] { jumpTo(engine->getMarks()->endOrDuration()); }},
        {Qt::CTRL + Qt::Key_S, [this] { cutIfAllowed(); }},
    };
    for (const auto &key : keys) {
        auto *shortcut = new QShortcut(QKeySequence(key.first), this);
        connect(shortcut, &QShortcut::activated, this, key.second);
    }

    for (QTimeEdit *field : {ui->timeEdit_start, ui->timeEdit_end}) {
        field->setCurrentSection(QDateTimeEdit::SecondSection);
        field->installEventFilter(this);
    }
}

void MainWindow::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        cutIfAllowed();
        return;
    }
    QMainWindow::keyPressEvent(event);
}

// Each key does what its button does, and only while that button could be
// pressed.
void MainWindow::togglePlay()
{
    if (ui->pushButton_play->isEnabled())
        on_pushButton_play_clicked();
}

void MainWindow::markStartHere()
{
    if (ui->pushButton_start->isEnabled())
        on_pushButton_start_clicked();
}

void MainWindow::markEndHere()
{
    if (ui->pushButton_end->isEnabled())
        on_pushButton_end_clicked();
}

void MainWindow::cutIfAllowed()
{
    if (ui->pushButton_preview->isEnabled())
        on_pushButton_preview_clicked();
}

void MainWindow::seekBy(qint64 ms)
{
    jumpTo(engine->getPlayer()->position() + ms);
}

void MainWindow::stepFrames(int frames)
{
    seekBy(std::llround(frames * sourceFrameMs()));
}

double MainWindow::sourceFrameMs()
{
    if (frameMs <= 0)
        frameMs = sourceFrames(engine->getPlayer()->getFile()).frameMs;
    return frameMs;
}

// Seeking needs loaded media, and the slider says whether the source may be
// handled now (not while a listed file plays).
void MainWindow::jumpTo(qint64 ms)
{
    MusicPlayer *player = engine->getPlayer();
    if (player->state() == QMediaPlayer::StoppedState || !ui->horizontalSlider_ProgressBar->isEnabled())
        return;
    const qint64 position = std::clamp<qint64>(ms, 0, player->getDuration());
    player->setPosition(position);
    ui->horizontalSlider_ProgressBar->setValue(int(position));
}

// Holding the knob pauses the playback; letting go goes back to the state
// the press found.
void MainWindow::onProgressPressed()
{
    playingBeforeSeek = engine->getPlayer()->state() == QMediaPlayer::PlayingState;
    engine->getPlayer()->pause();
}

void MainWindow::onProgressReleased()
{
    if (playingBeforeSeek)
        engine->getPlayer()->play();
}

// A press on the groove beside the knob jumps there, instead of the slider's
// page step. A press on the knob starts the usual drag.
bool MainWindow::progressGrooveClicked(QMouseEvent *event)
{
    QSlider *slider = ui->horizontalSlider_ProgressBar;
    if (event->button() != Qt::LeftButton || !slider->isEnabled())
        return false;
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = slider->orientation();
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = slider->sliderPosition();
    option.sliderValue = slider->value();
    option.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;
    const QRect knob = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, slider);
    if (knob.contains(event->pos()))
        return false;
    const QRect groove = slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
    const int span = groove.width() - knob.width();
    const int x = event->pos().x() - groove.x() - knob.width() / 2;
    jumpTo(QStyle::sliderValueFromPosition(slider->minimum(), slider->maximum(), std::clamp(x, 0, span), span));
    return true;
}

// One arrow click or wheel notch steps the section under the pointer, and
// seconds when the field is entered by key; a click into the text picks the
// section as usual.
bool MainWindow::timeFieldEvent(QTimeEdit *field, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Wheel: {
        QLineEdit *text = field->findChild<QLineEdit *>();
        const QPoint at = text->mapFrom(field, static_cast<QWheelEvent *>(event)->position().toPoint());
        if (text->rect().contains(at))
            field->setCurrentSectionIndex(sectionIndexAt(text->text(), text->cursorPositionAt(at)));
        return false;
    }
    case QEvent::ShortcutOverride: {
        // Undo and redo are the marks', not the field's text.
        auto *key = static_cast<QKeyEvent *>(event);
        return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo);
    }
    case QEvent::FocusIn:
        if (static_cast<QFocusEvent *>(event)->reason() == Qt::MouseFocusReason)
            return false;
        static_cast<QObject *>(field)->event(event);
        field->setCurrentSection(QDateTimeEdit::SecondSection);
        return true;
    default:
        return false;
    }
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!droppedFile(event->mimeData()).isEmpty())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QString path = droppedFile(event->mimeData());
    if (path.isEmpty())
        return;
    event->acceptProposedAction();
    openFile(path);
}

void MainWindow::openHandedFile(const QString &path)
{
    if (isMinimized())
        showNormal();
    raise();
    activateWindow();
    openFile(path);
}
