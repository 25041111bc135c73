// MainWindow, marking and cutting: the three ways of marking the piece kept
// in step (time fields, scissors, selection bar), the save folder, the
// checks before a cut and the cut itself.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "engine.h"
#include "mp3splitter.h"
#include "msgdialog.h"
#include "musicplayer.h"
#include "waitingdialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QTimer>

#include <algorithm>

namespace {

// Shortest piece a cut may have.
constexpr qint64 minimumCutMs = 1000;

qint64 msOf(const QTime &time)
{
    return time.isValid() ? QTime(0, 0).msecsTo(time) : 0;
}

QTime timeOf(qint64 ms)
{
    return QTime(0, 0).addMSecs(static_cast<int>(ms));
}

// A time as a fraction of the track for the selection bar, kept within the
// bar: a mark typed beyond the end puts its handle at the end.
float fractionOf(qint64 ms, qint64 duration)
{
    return static_cast<float>(std::clamp(double(ms) / double(duration), 0.0, 1.0));
}

} // namespace

void MainWindow::on_pushButton_start_clicked()
{
    const qint64 position = engine->getPlayer()->position();
    engine->setStartTime(position);
    ui->timeEdit_start->setTime(timeOf(position));
}

void MainWindow::on_pushButton_end_clicked()
{
    const qint64 position = engine->getPlayer()->position();
    engine->setEndTime(position);
    ui->timeEdit_end->setTime(timeOf(position));
}

// Marking while the piece plays would fight the playback: once an end is set,
// touching a mark pauses.
void MainWindow::on_timeEdit_start_userTimeChanged(const QTime &time)
{
    MusicPlayer *player = engine->getPlayer();
    if (player->state() == QMediaPlayer::PlayingState && engine->getEndTime() != 0)
        player->pause();

    const qint64 ms = msOf(time);
    engine->setStartTime(ms);
    // Without a duration (no media yet) there is no fraction to show; the
    // handle stays where it is.
    const qint64 duration = player->getDuration();
    if (!ui->widgetSelectBar->isDragging() && duration > 0)
        ui->widgetSelectBar->setStartPercent(fractionOf(ms, duration));

    const qint64 length = engine->getEndTime() - engine->getStartTime();
    if (length < 0)
        return;
    ui->label_cuttingLength->setText(MusicPlayer::durationText(length));
}

void MainWindow::on_timeEdit_end_userTimeChanged(const QTime &time)
{
    MusicPlayer *player = engine->getPlayer();
    if (player->state() == QMediaPlayer::PlayingState && engine->getEndTime() != 0)
        player->pause();

    engine->setEndTime(msOf(time));
    const qint64 length = engine->getEndTime() - engine->getStartTime();
    if (length < 0) {
        // An end before the start jumps back to the start. The nested run of
        // this slot places the handle there.
        ui->label_cuttingLength->setText(MusicPlayer::durationText(0));
        ui->timeEdit_end->setTime(ui->timeEdit_start->time());
        engine->setEndTime(engine->getStartTime());
    } else {
        ui->label_cuttingLength->setText(MusicPlayer::durationText(length));
    }
    engine->setCutterState(Engine::IDEL);

    // The field's time after any correction, so the handle shows the end
    // that is in force.
    const qint64 duration = player->getDuration();
    const qint64 ms = msOf(ui->timeEdit_end->time());
    if (!ui->widgetSelectBar->isDragging() && duration > 0)
        ui->widgetSelectBar->setEndPercent(fractionOf(ms, duration));
}

// A resize puts the bar's handles back at its ends. Themes have other
// measures, so a theme change resizes the bar: once the bar has handled the
// resize, its handles go back onto the marks in force.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->widgetSelectBar && event->type() == QEvent::Resize)
        QTimer::singleShot(0, this, &MainWindow::placeHandlesOnMarks);
    return QMainWindow::eventFilter(watched, event);
}

void MainWindow::placeHandlesOnMarks()
{
    const qint64 duration = engine->getPlayer()->getDuration();
    if (duration <= 0 || ui->widgetSelectBar->isDragging())
        return;
    if (engine->getStartTime() > 0)
        ui->widgetSelectBar->setStartPercent(fractionOf(engine->getStartTime(), duration));
    if (engine->getEndTime() > 0)
        ui->widgetSelectBar->setEndPercent(fractionOf(engine->getEndTime(), duration));
}

void MainWindow::onSendStartPercent(float startPercent)
{
    const auto ms = static_cast<qint64>(static_cast<long double>(engine->getPlayer()->getDuration()) * startPercent);
    engine->setStartTime(ms);
    ui->timeEdit_start->setTime(timeOf(ms));
}

void MainWindow::onSendEndPercent(float endPercent)
{
    const auto ms = static_cast<qint64>(static_cast<long double>(engine->getPlayer()->getDuration()) * endPercent);
    engine->setEndTime(ms);
    ui->timeEdit_end->setTime(timeOf(ms));
}

// ---------------------------------------------------------------------------
// Save folder and the cut

// A notice in the program's own box. Notices about the marks follow the
// theme; the one about the save folder keeps the default look.
void MainWindow::showNotice(const QString &text, bool themed)
{
    MsgDialog dialog;
    if (themed)
        dialog.setThemeIndex(engine->getThemeIndex());
    dialog.setText(text);
    dialog.exec();
}

void MainWindow::on_lineEdit_saveTo_textChanged(const QString &arg1)
{
    if (QFileInfo::exists(arg1))
        ui->lineEdit_saveTo->setStyleSheet(engine->getThemeIndex() == 4 ? QStringLiteral("color:white")
                                                                        : QStringLiteral("color:black"));
    else
        ui->lineEdit_saveTo->setStyleSheet(QStringLiteral("color:red"));
}

void MainWindow::on_pushButton_clicked()
{
    QFileDialog dialog;
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const QString dir = dialog.selectedFiles().value(0);
    ui->lineEdit_saveTo->setText(dir);
    settings->setValue(QStringLiteral("Common"), QStringLiteral("Operation"), QStringLiteral("SavePath"), dir);
}

void MainWindow::on_pushButton_preview_clicked()
{
    if (engine->getEndTime() - engine->getStartTime() < minimumCutMs) {
        showNotice(tr("Split time can not less than 1 secons."), true);
        return;
    }
    if (!QFileInfo::exists(ui->lineEdit_saveTo->text())) {
        showNotice(tr("Save path is not existed.Please set correct save path."), false);
        return;
    }
    if (engine->getPlayer()->state() == QMediaPlayer::PlayingState)
        engine->getPlayer()->pause();
    splitAndPreview();
}

// The waiting dialog holds the user until the cut has finished; on an error
// it stays open so the messages can be read. Closing it early leaves the cut
// running on its own thread, and no second cut may start until it has ended.
void MainWindow::splitAndPreview()
{
    if (engine->isSplitRunning()) {
        showNotice(tr("The last split is still running.Please wait until it finishes."), true);
        return;
    }

    engine->setSourceFile(engine->getPlayer()->getFile());
    engine->setSaveDir(ui->lineEdit_saveTo->text().trimmed());

    WaitingDialog dialog;
    if (!engine->prepareSplit())
        return;
    if (auto *splitter = qobject_cast<Mp3Splitter *>(engine->getCutter()))
        dialog.watchCutter(splitter);
    connect(engine, &Engine::splitThreadFinished, &dialog, &WaitingDialog::complete);
    if (!engine->startSplitThread())
        return;
    dialog.exec();
}

void MainWindow::changeUiStateForCutter()
{
    const int state = engine->getCutterState();
    bool enabled = true;
    if (state == Engine::IDEL) {
        ui->statusBar->showMessage(tr("Splitter is idel(IDEL)"));
    } else if (state == Engine::PLAYING) {
        engine->getPlayer()->pause();
        enabled = false;
    }
    ui->groupBox->setEnabled(enabled);
    ui->pushButton_start->setEnabled(enabled);
    ui->pushButton_end->setEnabled(enabled);
    ui->pushButton_preview->setEnabled(enabled);
    ui->pushButton_stop->setEnabled(enabled);
    ui->pushButton->setEnabled(enabled);
}
