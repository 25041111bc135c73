#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "engine.h"
#include "markmodel.h"
#include "musicplayer.h"
#include "selectioncolors.h"
#include "settingskeys.h"
#include "stylesheetreader.h"

#include <QApplication>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>

#include <algorithm>
#include <cmath>

namespace {

using namespace SettingsKeys;

// The time fields count within one day.
constexpr qint64 longestSourceMs = 24LL * 60 * 60 * 1000;

// WCAG relative luminance of an sRGB colour, and the contrast of two.
double luminance(const QColor &color)
{
    auto channel = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Text in the selection colour on the dark theme's background: mixed with
// white just as far as 3:1 needs. A colour that reads already stays as it is.
QColor readableOnDark(const QColor &color)
{
    const QColor background(QStringLiteral("#444444"));
    QColor mixed = color;
    for (int step = 1; step <= 20 && contrast(mixed, background) < 3.0; ++step) {
        const double t = step / 20.0;
        mixed = QColor::fromRgbF(color.redF() + (1 - color.redF()) * t, color.greenF() + (1 - color.greenF()) * t,
                                 color.blueF() + (1 - color.blueF()) * t);
    }
    return mixed;
}

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
    statusLabel->setObjectName(QStringLiteral("playerStatusLabel"));
    cutterStatusLabel = new QLabel(this);
    cutterStatusLabel->setObjectName(QStringLiteral("cutterStatusLabel"));
    // Permanent, so that a menu's status tip does not wipe them.
    ui->statusBar->addPermanentWidget(cutterStatusLabel, 1);
    ui->statusBar->addPermanentWidget(statusLabel, 0);
    // The window has a fixed size.
    ui->statusBar->setSizeGripEnabled(false);
    setAcceptDrops(true);

    styleReader = new StyleSheetReader(this);
    const int themeIndex = applyStoredTheme();

    engine = new Engine(this);
    engine->setThemeIndex(themeIndex);
    applySelectColor(false);
    setupMarks();
    setupChapters();
    setupModes();
    setupOutputList();
    // Before the history: picking its entry shows that file's envelope.
    setupEnvelope();

    loadHistoryAndSaveDir();
    // Only what the user picks or types is checked; the entries as such are
    // kept until then.
    connect(ui->lineEdit_CurrentFile, QOverload<int>::of(&QComboBox::activated), this,
            &MainWindow::onCurrentFilePicked);
    connect(ui->lineEdit_saveTo, &QLineEdit::editingFinished, this, &MainWindow::rememberSaveDir);
    engine->getPlayer()->setFile(ui->lineEdit_CurrentFile->currentText().trimmed());

    connectPlayer();
    changeUiStateForPlayer();
    changeUiStateForCutter();

    connect(ui->widgetSelectBar, &SelectBar::sendStartPercent, this, &MainWindow::onSendStartPercent);
    connect(ui->widgetSelectBar, &SelectBar::sendEndPercent, this, &MainWindow::onSendEndPercent);
    ui->widgetSelectBar->installEventFilter(this);
    setupKeys();
}

QString MainWindow::defaultSaveDir()
{
    return QStandardPaths::standardLocations(QStandardPaths::HomeLocation).value(0) + QStringLiteral("/music");
}

MainWindow::~MainWindow()
{
    stopPlanning();
    stopReadingChapters();
}

// Theme sheet, handle and time-field styles and selection colour as stored.
// Returns the theme index in use.
int MainWindow::applyStoredTheme()
{
    const int index = std::max(1, settings->getValue(common, styleSection, themeIndex).toInt());
    qApp->setStyleSheet(styleReader->readStyleSheet(index));
    if (index >= 2 && index <= 4)
        setThemeWidgets(index);
    return index;
}

// The band takes the chosen colour as it is; the length label, text on the
// theme's background, is lightened where the dark theme would swallow it.
// A bar that has been reset stays grey until the source plays.
void MainWindow::applySelectColor(bool band)
{
    QString color = settings->getValue(common, styleSection, selectColor).toString();
    if (color.isEmpty())
        color = SelectionColors::defaultColor;
    if (band) {
        ui->widgetSelectBar->setColor(QColor(color));
        ui->widgetSelectBar->update();
    }
    const QString text = engine && engine->getThemeIndex() == 4 ? readableOnDark(QColor(color)).name().toUpper() : color;
    ui->label_cuttingLength->setStyleSheet(QStringLiteral("color:%1").arg(text));
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
    const QString homeMusic = defaultSaveDir();
    const QVariant history = settings->getValue(common, operationSection, openHistory);
    QString saveDir = settings->getValue(common, operationSection, savePath).toString();

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
    // To the millisecond, as the marks are.
    connect(player, &QMediaPlayer::positionChanged, this, [this](qint64 position) {
        ui->label_passedTime->setText(MusicPlayer::durationText(position) + QStringLiteral(" / "));
    });
    connect(player, SIGNAL(durationTextChanged(QString)), ui->label_duration, SLOT(setText(QString)));
    connect(player, SIGNAL(durationChanged(qint64)), this, SLOT(setProgressBarMaximum(qint64)));
    connect(player, &QMediaPlayer::durationChanged, this, &MainWindow::refuseLongSource);
    connect(player, SIGNAL(positionChanged(qint64)), this, SLOT(setProgreSSBarValue(qint64)));
    connect(player, SIGNAL(stateChanged(QMediaPlayer::State)), this, SLOT(onMusicStateChanged(QMediaPlayer::State)));
    connect(engine, SIGNAL(playerStateChanged()), this, SLOT(changeUiStateForPlayer()));
    connect(ui->horizontalSlider_ProgressBar, &QSlider::sliderPressed, this, &MainWindow::onProgressPressed);
    connect(ui->horizontalSlider_ProgressBar, &QSlider::sliderReleased, this, &MainWindow::onProgressReleased);
    ui->horizontalSlider_ProgressBar->installEventFilter(this);
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

// A listed file that plays is stopped first: its stop gives its row back and
// sets the state to idle, and only then may the source play again.
void MainWindow::resetUi()
{
    engine->getSavedPlayer()->stop();
    edgeStopAt = -1;
    marks->reset();
    showMarks();
    engine->setCutterState(Engine::IDEL);
    ui->widgetSelectBar->reset();
    setCutterControlsEnabled(false);
    ui->horizontalSlider_ProgressBar->setValue(0);
    frameMs = 0;

    const QFileInfo current(ui->lineEdit_CurrentFile->currentText());
    if (current.exists() && current.isFile() && unusableReason(current.filePath()).isEmpty())
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
    openFile(path);
}

void MainWindow::openFile(const QString &path)
{
    if (!isMp3Path(path) || !QFileInfo(path).isFile()) {
        showFileNotice();
        return;
    }
    const QString unusable = unusableReason(path);
    if (!unusable.isEmpty()) {
        showNotice(unusable, true);
        return;
    }

    QStringList paths{path};
    for (int i = 0; i < ui->lineEdit_CurrentFile->count(); ++i)
        paths << ui->lineEdit_CurrentFile->itemText(i);
    paths.removeDuplicates();
    paths.removeAll(QString());

    // The box's own change handler runs once per step here; the last run,
    // for the new entry, records it in the history and resets the window.
    ui->lineEdit_CurrentFile->clear();
    ui->lineEdit_CurrentFile->addItems(paths);
    ui->lineEdit_CurrentFile->setCurrentIndex(0);

    resetUi();
    engine->getPlayer()->setFile(path);
    showEnvelopeOf(path);
    showChaptersOf(path);
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
    settings->setValue(common, operationSection, openHistory, path);
    engine->stop();
    resetUi();
    engine->getPlayer()->setFile(path);
    showEnvelopeOf(path);
    showChaptersOf(path);
}

void MainWindow::on_pushButton_play_clicked()
{
    MusicPlayer *player = engine->getPlayer();
    const QString path = player->getFile();
    if (!QFileInfo::exists(path) || !isMp3Path(path)) {
        showFileNotice();
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
        if (engine->getCutterState() != Engine::IDEL)
            break;
        if (const QString unusable = unusableReason(path); !unusable.isEmpty()) {
            showNotice(unusable, true);
            break;
        }
        engine->playFile(path);
        break;
    }
}

void MainWindow::showFileNotice()
{
    QMessageBox box(this);
    box.setWindowIcon(QIcon(QStringLiteral(":images/icon_warning.png")));
    box.setWindowTitle(tr("Notice"));
    box.setText(tr("File is not exist."));
    box.setInformativeText(tr("Please open music."));
    box.setStandardButtons(QMessageBox::Ok);
    box.button(QMessageBox::Ok)->setText(tr("Ok"));
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

// The time fields, the labels and the cut all count within one day, so a
// longer file is not offered for cutting at all: whatever the fields showed
// would not be the range cut.
void MainWindow::refuseLongSource(qint64 duration)
{
    if (duration < longestSourceMs)
        return;
    engine->stop();
    resetUi();
    ui->pushButton_play->setEnabled(false);
    QMetaObject::invokeMethod(this, [this] {
        showNotice(tr("This file is 24 hours or longer. Snipwave cuts files shorter than 24 hours only."), true);
    }, Qt::QueuedConnection);
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
        ui->label_passedTime->show();
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
        ui->horizontalSlider_ProgressBar->setValue(0);
        ui->horizontalSlider_ProgressBar->setEnabled(false);
        ui->label_passedTime->hide();
        statusLabel->setText(tr("Stopped"));
        break;
    }
}

void MainWindow::onMusicStateChanged(QMediaPlayer::State state)
{
    switch (state) {
    case QMediaPlayer::PlayingState:
        setCutterControlsEnabled(true);
        applySelectColor(true);
        break;
    case QMediaPlayer::StoppedState:
        if (engine->getEndTime() > 0)
            engine->setCutterState(Engine::IDEL);
        break;
    case QMediaPlayer::PausedState:
        break;
    }
}
