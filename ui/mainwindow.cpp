#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "engine.h"
#include "mp3splitter.h"
#include "msgdialog.h"
#include "musicplayer.h"
#include "stylesheetreader.h"
#include "waitingdialog.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>

#include <algorithm>

namespace {

const QString commonGroup = QStringLiteral("Common");
const QString styleSection = QStringLiteral("StyleSheet");
const QString operationSection = QStringLiteral("Operation");
const QString defaultSelectColor = QStringLiteral("#009F3C");

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

bool isMp3Path(const QString &path)
{
    return path.toLower().endsWith(QLatin1String(".mp3"));
}

// A time as a fraction of the track for the selection bar, kept within the
// bar: a mark typed beyond the end puts its handle at the end.
float fractionOf(qint64 ms, qint64 duration)
{
    return static_cast<float>(std::clamp(double(ms) / double(duration), 0.0, 1.0));
}

} // namespace

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(std::make_unique<Ui::MainWindow>())
{
    ui->setupUi(this);

    settings = new AppSettings(this);
    settings->load();

    ui->tableWidget->horizontalHeader()->setStretchLastSection(true);
    ui->tableWidget->setColumnWidth(0, 40);
    ui->tableWidget->setColumnWidth(1, 40);
    ui->tableWidget->setColumnWidth(2, 100);

    ui->label_passedTime->hide();
    ui->pushButtonClearList->setEnabled(false);
    ui->checkBoxSelectAll->setEnabled(false);

    setWindowTitle(tr("Snipwave") + QStringLiteral(" v") + QCoreApplication::applicationVersion());

    statusLabel = new QLabel(this);
    ui->statusBar->addPermanentWidget(statusLabel, 0);

    styleReader = new StyleSheetReader(this);
    const int themeIndex = applyStoredTheme();

    engine = new Engine(this);
    engine->setThemeIndex(themeIndex);

    loadHistoryAndSaveDir();
    engine->getPlayer()->setFile(ui->lineEdit_CurrentFile->currentText().trimmed());

    connectPlayer();
    changeUiStateForPlayer();
    changeUiStateForCutter();

    connect(ui->widgetSelectBar, SIGNAL(sendStartPercent(float)), this, SLOT(onSendStartPercent(float)));
    connect(ui->widgetSelectBar, SIGNAL(sendEndPercent(float)), this, SLOT(onSendEndPercent(float)));
    ui->widgetSelectBar->installEventFilter(this);
}

MainWindow::~MainWindow() = default;

// Theme sheet, handle and time-field styles and selection colour as stored.
// Returns the theme index in use.
int MainWindow::applyStoredTheme()
{
    const int index = std::max(1, settings->getValue(commonGroup, styleSection, QStringLiteral("index")).toInt());
    qApp->setStyleSheet(styleReader->readStyleSheet(index));
    if (index >= 2 && index <= 4)
        setThemeWidgets(index);

    const QString color = settings->getValue(commonGroup, styleSection, QStringLiteral("SelectColor")).toString();
    if (!color.isEmpty())
        ui->label_cuttingLength->setStyleSheet(QStringLiteral("color:%1").arg(color));
    return index;
}

// Button style of the handles and style of the time fields for theme 1..4;
// other indexes leave them as they are.
void MainWindow::setThemeWidgets(int index)
{
    QString handles;
    switch (index) {
    case 1:
        break;
    case 2:
        handles = blueButtonStyle;
        break;
    case 3:
        handles = grayButtonStyle;
        break;
    case 4:
        handles = darkButtonStyle;
        break;
    default:
        return;
    }
    const QString timeFields = index == 1 ? QString() : timeEditStyle;
    ui->widgetSelectBar->setHandleStyleSheet(handles);
    ui->timeEdit_start->setStyleSheet(timeFields);
    ui->timeEdit_end->setStyleSheet(timeFields);
}

// The first entry that enters the empty box becomes current at once, so the
// change handler runs inside the insertion: it records the entry as the
// newest history entry and resets the window.
void MainWindow::loadHistoryAndSaveDir()
{
    const QString homeMusic = QStandardPaths::standardLocations(QStandardPaths::HomeLocation).value(0)
                              + QStringLiteral("/music");
    const QVariant history = settings->getValue(commonGroup, operationSection, QStringLiteral("OpenHistoryList"));
    QString saveDir = settings->getValue(commonGroup, operationSection, QStringLiteral("SavePath")).toString();

    if (history.canConvert<QVariantList>()) {
        QStringList paths = history.toStringList();
        paths.removeDuplicates();
        paths.removeAll(QString());
        ui->lineEdit_CurrentFile->addItems(paths);
        ui->lineEdit_CurrentFile->setCurrentIndex(0);
    } else {
        ui->lineEdit_CurrentFile->insertItem(0, homeMusic);
        saveDir = homeMusic;
    }

    if (saveDir.isEmpty())
        saveDir = homeMusic;
    ui->lineEdit_saveTo->setText(saveDir);
}

// By signature text: the player's signal names are fixed and spelt as they
// are ("prosition").
void MainWindow::connectPlayer()
{
    MusicPlayer *player = engine->getPlayer();
    connect(player, SIGNAL(prositionTextChanged(QString)), ui->label_passedTime, SLOT(setText(QString)));
    connect(player, SIGNAL(durationTextChanged(QString)), ui->label_duration, SLOT(setText(QString)));
    connect(player, SIGNAL(durationChanged(qint64)), this, SLOT(setProgressBarMaximum(qint64)));
    connect(player, SIGNAL(positionChanged(qint64)), this, SLOT(setProgreSSBarValue(qint64)));
    connect(player, SIGNAL(stateChanged(QMediaPlayer::State)), this, SLOT(onMusicStateChanged(QMediaPlayer::State)));
    connect(engine, SIGNAL(playerStateChanged()), this, SLOT(changeUiStateForPlayer()));
    connect(ui->horizontalSlider_ProgressBar, SIGNAL(sliderPressed()), player, SLOT(pause()));
    connect(ui->horizontalSlider_ProgressBar, SIGNAL(sliderReleased()), player, SLOT(play()));
    connect(ui->horizontalSlider_ProgressBar, SIGNAL(sliderMoved(int)), player, SLOT(setToNewProsition(int)));
    connect(engine, SIGNAL(cutterStateChanged()), this, SLOT(changeUiStateForCutter()));
    connect(engine, SIGNAL(sendSavedFile(QString)), this, SLOT(setSavedFile(QString)));
}

void MainWindow::setCutterControlsEnabled(bool enabled)
{
    ui->widgetSelectBar->setEnabled(enabled);
    ui->timeEdit_start->setEnabled(enabled);
    ui->timeEdit_end->setEnabled(enabled);
    ui->pushButton_start->setEnabled(enabled);
    ui->pushButton_end->setEnabled(enabled);
    ui->pushButton_preview->setEnabled(enabled);
    ui->pushButton_play->setEnabled(enabled);
}

void MainWindow::resetUi()
{
    ui->timeEdit_start->setTime(QTime(0, 0));
    ui->timeEdit_end->setTime(QTime(0, 0));
    engine->setStartTime(0);
    engine->setEndTime(0);
    engine->setCutterState(Engine::IDEL);
    ui->widgetSelectBar->reset();
    setCutterControlsEnabled(false);

    const QFileInfo current(ui->lineEdit_CurrentFile->currentText());
    if (current.exists() && current.isFile())
        ui->pushButton_play->setEnabled(true);
}

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

// ---------------------------------------------------------------------------
// The source file and its playback

void MainWindow::on_pushButtonOpen_clicked()
{
    const QString path = QFileDialog::getOpenFileName(this, tr("Open mp3 file"),
                                                      ui->lineEdit_CurrentFile->currentText().trimmed(),
                                                      tr("Mp3 file(*.mp3)"));
    if (!isMp3Path(path))
        return;

    QStringList paths{path};
    for (int i = 0; i < ui->lineEdit_CurrentFile->count(); ++i)
        paths << ui->lineEdit_CurrentFile->itemText(i);
    paths.removeDuplicates();
    paths.removeAll(QString());

    ui->lineEdit_CurrentFile->clear();
    ui->lineEdit_CurrentFile->addItems(paths);
    ui->lineEdit_CurrentFile->setCurrentIndex(0);

    resetUi();
    engine->getPlayer()->setFile(path);
    if (engine->getPlayer()->state() != QMediaPlayer::StoppedState)
        engine->stop();
    engine->playFile(path);
}

void MainWindow::on_actionOpen_triggered()
{
    on_pushButtonOpen_clicked();
}

// The file is not played here: the user presses play.
void MainWindow::on_lineEdit_CurrentFile_currentIndexChanged(int index)
{
    Q_UNUSED(index)
    const QString path = ui->lineEdit_CurrentFile->currentText().trimmed();
    settings->setValue(commonGroup, operationSection, QStringLiteral("OpenHistoryList"), path);
    engine->stop();
    resetUi();
    engine->getPlayer()->setFile(path);
}

void MainWindow::on_pushButton_play_clicked()
{
    MusicPlayer *player = engine->getPlayer();
    const QString path = player->getFile();
    if (!QFileInfo::exists(path) || !isMp3Path(path)) {
        QMessageBox box;
        box.setWindowIcon(QIcon(QStringLiteral(":images/icon_warning.png")));
        box.setWindowTitle(tr("Notice"));
        box.setText(tr("File is not exist."));
        box.setInformativeText(tr("Please open music."));
        box.setStandardButtons(QMessageBox::Ok);
        box.button(QMessageBox::Ok)->setText(tr("Ok"));
        box.setDefaultButton(QMessageBox::Ok);
        box.exec();
        return;
    }

    switch (player->state()) {
    case QMediaPlayer::PlayingState:
        player->pause();
        break;
    case QMediaPlayer::PausedState:
        player->play();
        // With a piece marked, resuming starts over at its beginning.
        if (engine->getStartTime() > 0 && engine->getEndTime() > 0)
            player->setPosition(engine->getStartTime());
        break;
    case QMediaPlayer::StoppedState:
        if (engine->getCutterState() == Engine::IDEL)
            engine->playFile(path);
        break;
    }
}

void MainWindow::on_pushButton_stop_clicked()
{
    engine->stop();
    resetUi();
}

void MainWindow::setProgressBarMaximum(qint64 value)
{
    ui->horizontalSlider_ProgressBar->setMaximum(static_cast<int>(value));
}

void MainWindow::setProgreSSBarValue(qint64 value)
{
    ui->horizontalSlider_ProgressBar->setValue(static_cast<int>(value));
}

void MainWindow::changeUiStateForPlayer()
{
    MusicPlayer *player = engine->getPlayer();
    switch (player->state()) {
    case QMediaPlayer::PlayingState:
        ui->pushButton_play->setIcon(QIcon(QStringLiteral(":images/icon_pause.png")));
        ui->pushButton_play->setToolTip(tr("Pause"));
        ui->pushButton_stop->setEnabled(true);
        ui->horizontalSlider_ProgressBar->setEnabled(true);
        statusLabel->setText(tr("Now is playing"));
        break;
    case QMediaPlayer::PausedState:
        ui->pushButton_play->setIcon(QIcon(QStringLiteral(":images/icon_play.png")));
        ui->pushButton_play->setToolTip(tr("Continue to play"));
        ui->horizontalSlider_ProgressBar->setEnabled(true);
        statusLabel->setText(tr("Paused"));
        break;
    case QMediaPlayer::StoppedState:
        ui->pushButton_play->setIcon(QIcon(QStringLiteral(":images/icon_play.png")));
        ui->pushButton_play->setToolTip(tr("Play"));
        ui->pushButton_stop->setEnabled(false);
        player->setPosition(0);
        ui->label_duration->setText(QStringLiteral("00:00:00\"000"));
        ui->horizontalSlider_ProgressBar->setEnabled(false);
        statusLabel->setText(tr("Stopped"));
        break;
    }
}

void MainWindow::onMusicStateChanged(QMediaPlayer::State state)
{
    switch (state) {
    case QMediaPlayer::PlayingState: {
        setCutterControlsEnabled(true);
        QString color = settings->getValue(commonGroup, styleSection, QStringLiteral("SelectColor")).toString();
        if (color.isEmpty())
            color = defaultSelectColor;
        ui->widgetSelectBar->setColor(QColor(color));
        ui->label_cuttingLength->setStyleSheet(QStringLiteral("color:%1").arg(color));
        break;
    }
    case QMediaPlayer::StoppedState:
        if (engine->getEndTime() > 0)
            engine->setCutterState(Engine::IDEL);
        break;
    case QMediaPlayer::PausedState:
        break;
    }
}

// ---------------------------------------------------------------------------
// Marking the piece: time fields, scissors and the selection bar kept in step

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
    settings->setValue(commonGroup, operationSection, QStringLiteral("SavePath"), dir);
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
