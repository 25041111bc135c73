// MainWindow, marking and cutting: the scissors and the time fields (the
// marks themselves are kept in mainwindowmarks.cpp), the save folder, the
// checks before a cut and the cut itself.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "engine.h"
#include "markmodel.h"
#include "settingskeys.h"
#include "mp3splitter.h"
#include "msgdialog.h"
#include "musicplayer.h"
#include "waitingdialog.h"

#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QMouseEvent>
#include <QFileInfo>

#include <algorithm>

namespace {

// Shortest piece a cut may have.
constexpr qint64 minimumCutMs = 1000;

qint64 msOf(const QTime &time)
{
    return time.isValid() ? QTime(0, 0).msecsTo(time) : 0;
}

} // namespace

void MainWindow::on_pushButton_start_clicked()
{
    applyMarks(engine->getPlayer()->position(), engine->getEndTime());
}

void MainWindow::on_pushButton_end_clicked()
{
    applyMarks(engine->getStartTime(), engine->getPlayer()->position());
}

// Marking while the piece plays would fight the playback: once an end is set,
// touching a mark pauses.
void MainWindow::on_timeEdit_start_userTimeChanged(const QTime &time)
{
    MusicPlayer *player = engine->getPlayer();
    if (player->state() == QMediaPlayer::PlayingState && engine->getEndTime() != 0)
        player->pause();
    applyMarks(msOf(time), engine->getEndTime());
}

void MainWindow::on_timeEdit_end_userTimeChanged(const QTime &time)
{
    MusicPlayer *player = engine->getPlayer();
    if (player->state() == QMediaPlayer::PlayingState && engine->getEndTime() != 0)
        player->pause();
    applyMarks(engine->getStartTime(), msOf(time));
    engine->setCutterState(Engine::IDEL);
}

// A resize puts the bar's handles back at its ends. Themes have other
// measures, so a theme change resizes the bar: the bar handles the resize
// first, then its handles go back onto the marks in force.
bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == ui->widgetSelectBar && event->type() == QEvent::Resize) {
        static_cast<QObject *>(ui->widgetSelectBar)->event(event);
        placeHandlesOnMarks();
        return true;
    }
    if (watched == ui->horizontalSlider_ProgressBar && event->type() == QEvent::MouseButtonPress)
        return progressGrooveClicked(static_cast<QMouseEvent *>(event));
    if (watched == ui->timeEdit_start || watched == ui->timeEdit_end)
        return timeFieldEvent(static_cast<QTimeEdit *>(watched), event);
    return QMainWindow::eventFilter(watched, event);
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

// Red for a folder that is not there, with the reason in the tooltip. The
// default folder is no fault: the first cut makes it.
void MainWindow::on_lineEdit_saveTo_textChanged(const QString &arg1)
{
    QString tip;
    if (QFileInfo::exists(arg1)) {
        ui->lineEdit_saveTo->setStyleSheet(engine->getThemeIndex() == 4 ? QStringLiteral("color:white")
                                                                        : QStringLiteral("color:black"));
    } else if (isDefaultSaveDir(arg1)) {
        ui->lineEdit_saveTo->setStyleSheet(engine->getThemeIndex() == 4 ? QStringLiteral("color:white")
                                                                        : QStringLiteral("color:black"));
        tip = tr("This folder does not exist yet: the first cut makes it.");
    } else {
        ui->lineEdit_saveTo->setStyleSheet(QStringLiteral("color:red"));
        tip = tr("This folder does not exist. Choose one with the folder button, or type the path of one.");
    }
    ui->lineEdit_saveTo->setToolTip(tip.isEmpty() ? tr("The folder the cuts are saved in") : tip);
}

bool MainWindow::isDefaultSaveDir(const QString &dir)
{
    return QDir::cleanPath(dir.trimmed()) == QDir::cleanPath(defaultSaveDir());
}

// A folder typed by hand is kept for the next start once it is there.
void MainWindow::rememberSaveDir()
{
    const QString dir = ui->lineEdit_saveTo->text().trimmed();
    if (QFileInfo(dir).isDir())
        settings->setValue(SettingsKeys::common, SettingsKeys::operationSection, SettingsKeys::savePath, dir);
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
    settings->setValue(SettingsKeys::common, SettingsKeys::operationSection, SettingsKeys::savePath, dir);
}

void MainWindow::on_pushButton_preview_clicked()
{
    if (engine->getEndTime() - engine->getStartTime() < minimumCutMs) {
        showNotice(tr("Split time can not less than 1 secons."), true);
        return;
    }
    if (!readyToCut())
        return;
    splitAndPreview();
}

// The save folder is there (made if need be) and playback pauses; false
// after telling the user when the folder cannot be had.
bool MainWindow::readyToCut()
{
    if (!ensureSaveDir()) {
        showNotice(tr("Save path is not existed.Please set correct save path."), false);
        return false;
    }
    if (engine->getPlayer()->state() == QMediaPlayer::PlayingState)
        engine->getPlayer()->pause();
    return true;
}

// The same cut without the marked range: the rest of the file, joined at a
// seam, listed and played like any cut.
void MainWindow::cutOutSelection()
{
    if (!ui->pushButton_preview->isEnabled())
        return;
    const qint64 start = engine->getStartTime();
    const qint64 end = engine->getEndTime();
    const qint64 duration = engine->getMarks()->duration();
    if (end <= start || duration - (end - start) < minimumCutMs) {
        showNotice(tr("Mark the range to cut out first; at least 1 second of the file must remain."), true);
        return;
    }
    if (!readyToCut())
        return;
    engine->setRemoveRange(true);
    splitAndPreview();
    engine->setRemoveRange(false);
}

// The default folder does not exist on a fresh account; it is made on the
// first cut. A folder the user chose is never made.
bool MainWindow::ensureSaveDir()
{
    const QString dir = ui->lineEdit_saveTo->text();
    if (QFileInfo::exists(dir))
        return true;
    if (!isDefaultSaveDir(dir) || !QDir().mkpath(defaultSaveDir()))
        return false;
    on_lineEdit_saveTo_textChanged(dir);
    return true;
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
    rememberSaveDir();
    applyCutModes();

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
        cutterStatusLabel->setText(tr("Splitter is idel(IDEL)"));
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
