#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "engine.h"
#include "musicplayer.h"
#include "stylesheetreader.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>

#include <algorithm>

namespace {

const QString commonGroup = QStringLiteral("Common");
const QString styleSection = QStringLiteral("StyleSheet");
const QString operationSection = QStringLiteral("Operation");
const QString defaultSelectColor = QStringLiteral("#009F3C");

bool isMp3Path(const QString &path)
{
    return path.toLower().endsWith(QLatin1String(".mp3"));
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
    // Before the history: picking its entry shows that file's envelope.
    setupEnvelope();

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
    showEnvelopeOf(path);
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
    showEnvelopeOf(path);
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
