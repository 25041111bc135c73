// MainWindow, second part: the list of cut files and their playback, the
// menus other than Open, the theme and colour choice, and closing.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "engine.h"
#include "msgdialog.h"
#include "operation.h"
#include "selectioncolors.h"
#include "settingskeys.h"
#include "stylesettingsdialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QSlider>
#include <QStandardPaths>
#include <QTableWidgetItem>
#include <QTimer>
#include <QUrl>

#include <algorithm>

namespace {

enum Column { SelectColumn = 0, OperationColumn = 1, ProgressColumn = 2, FileColumn = 3 };

const char *const rowProperty = "row";

// The trash in the user's data folder, made if need be. Qt's own move to
// the trash does not stop when it cannot make one: it then moves the file
// into a "files" folder under the current folder.
bool homeTrashUsable()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (data.isEmpty())
        return false;
    const QString trash = data + QStringLiteral("/Trash");
    return QDir().mkpath(trash + QStringLiteral("/files")) && QDir().mkpath(trash + QStringLiteral("/info"));
}

// To the desktop trash, so that a slip can be undone. Where there is no
// trash for the file the file is deleted, and *deleted says so. False when
// the file is still there.
bool discardFile(const QString &path, bool *deleted)
{
    if (homeTrashUsable() && QFile::moveToTrash(path))
        return true;
    if (!QFile::remove(path))
        return false;
    *deleted = true;
    return true;
}

} // namespace

// ---------------------------------------------------------------------------
// Rows of the output list

// Lists a file that a cut has just written and plays it. The engine announces
// the output path after a failed cut too; a path where no file exists gets no
// row, since there is nothing to play or delete.
void MainWindow::setSavedFile(QString file)
{
    if (!QFileInfo(file).isFile())
        return;
    addOutputRow(file);
}

void MainWindow::addOutputRow(const QString &file)
{
    QTableWidget *table = ui->tableWidget;
    const int row = table->rowCount();
    table->insertRow(row);

    auto *item = new QTableWidgetItem(file);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);

    auto *operation = new Operation(table);
    operation->setThemeIndex(engine->getThemeIndex());
    auto *slider = new QSlider(Qt::Horizontal, table);
    slider->setEnabled(false);

    // Rows can go away while their file plays or just stopped ("Clear"), so
    // every handler holds its widgets through guarded pointers.
    const QPointer<Operation> guardedOperation(operation);
    connect(operation, &Operation::playButtonClicked, this, [this, guardedOperation] { playRow(guardedOperation); });
    connect(operation, &Operation::deleteButtonClicked, this, [this, guardedOperation] { deleteRow(guardedOperation); });
    // The slider is disabled until its row plays, so these can be made once.
    connect(slider, &QSlider::sliderMoved, engine, &Engine::playSavedSeek);
    connect(slider, &QSlider::sliderPressed, this, &MainWindow::onRowSliderPressed);
    connect(slider, &QSlider::sliderReleased, this, &MainWindow::onRowSliderReleased);

    auto *cell = new QWidget(table);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setAlignment(Qt::AlignCenter);
    auto *checkBox = new QCheckBox(cell);
    checkBox->setContentsMargins(20, 0, 0, 0);
    layout->addWidget(checkBox);
    connect(checkBox, &QCheckBox::clicked, this, &MainWindow::onRowCheckBoxClicked);

    table->setCellWidget(row, SelectColumn, cell);
    table->setCellWidget(row, OperationColumn, operation);
    table->setCellWidget(row, ProgressColumn, slider);
    table->setItem(row, FileColumn, item);

    // The sort moves rows; the saved-file player must go on naming the row
    // it plays.
    QPointer<Operation> playing;
    if (engine->getCutterState() == Engine::PLAYING) {
        const int playingRow = engine->getSavedPlayer()->property(rowProperty).toInt();
        playing = qobject_cast<Operation *>(table->cellWidget(playingRow, OperationColumn));
    }
    // Names begin with the time of the cut: the newest file of a folder first.
    table->sortItems(FileColumn, Qt::DescendingOrder);
    if (playing)
        engine->getSavedPlayer()->setProperty(rowProperty, rowOf(playing));

    ui->checkBoxSelectAll->setEnabled(true);

    // The preview, once the table has settled. It plays the new file, which
    // is not the top row when it went to a folder whose path sorts lower.
    QTimer::singleShot(0, this, [this, guardedOperation] { pressPlayButton(guardedOperation); });
}

// A press and a release, as the user's click would be.
void MainWindow::pressPlayButton(const QPointer<Operation> &operation)
{
    if (!operation || rowOf(operation) < 0)
        return;
    QPushButton *button = operation->playButton();
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(0, 0), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(0, 0), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(button, &release);
}

// Found by identity rather than by position: cell widgets are placed by the
// view's delayed layout, so right after a sort a position can be stale.
int MainWindow::rowOf(const Operation *operation) const
{
    if (!operation)
        return -1;
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        if (ui->tableWidget->cellWidget(row, OperationColumn) == operation)
            return row;
    }
    return -1;
}

QCheckBox *MainWindow::rowCheckBox(int row) const
{
    QWidget *cell = ui->tableWidget->cellWidget(row, SelectColumn);
    if (!cell || !cell->layout() || !cell->layout()->itemAt(0))
        return nullptr;
    return qobject_cast<QCheckBox *>(cell->layout()->itemAt(0)->widget());
}

QSlider *MainWindow::rowSlider(int row) const
{
    return qobject_cast<QSlider *>(ui->tableWidget->cellWidget(row, ProgressColumn));
}

int MainWindow::checkedRowCount() const
{
    int count = 0;
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        const QCheckBox *checkBox = rowCheckBox(row);
        if (checkBox && checkBox->isChecked())
            ++count;
    }
    return count;
}

// The play button of the playing row stops it. Only one listed file plays at
// a time: while one plays, another row's button only enables its slider.
void MainWindow::playRow(const QPointer<Operation> &operation)
{
    const int row = rowOf(operation);
    if (row < 0)
        return;
    QMediaPlayer *saved = engine->getSavedPlayer();
    if (saved->property(rowProperty).toInt() == row && engine->getCutterState() == Engine::PLAYING) {
        saved->stop();
        return;
    }

    const QPointer<QSlider> slider = rowSlider(row);
    if (slider)
        slider->setEnabled(true);

    const QString path = ui->tableWidget->item(row, FileColumn)->text();
    if (!QFileInfo::exists(path) || engine->getCutterState() != Engine::IDEL)
        return;

    // A reset of the window sets the state back to idle without stopping a
    // listed file; finish that one properly before the next starts.
    if (saved->state() != QMediaPlayer::StoppedState)
        saved->stop();

    engine->playSavedFile(path);
    saved->setProperty(rowProperty, row);
    engine->setCutterState(Engine::PLAYING);
    operation->setPlayIcon(QStringLiteral(":images/icon_stop.png"));
    operation->setDeleteEnabled(false);

    connect(saved, &QMediaPlayer::durationChanged, this, [slider](qint64 duration) {
        if (!slider)
            return;
        slider->setMinimum(0);
        slider->setMaximum(static_cast<int>(duration));
    });
    connect(saved, &QMediaPlayer::positionChanged, this, [slider](qint64 position) {
        if (slider)
            slider->setValue(static_cast<int>(position));
    });
    connect(saved, &QMediaPlayer::stateChanged, this, [this, operation, slider](QMediaPlayer::State state) {
        onSavedPlayerStateChanged(state, operation, slider);
    });
}

void MainWindow::onSavedPlayerStateChanged(QMediaPlayer::State state, const QPointer<Operation> &operation,
                                           const QPointer<QSlider> &slider)
{
    if (state != QMediaPlayer::StoppedState)
        return;
    engine->setCutterState(Engine::IDEL);
    if (operation) {
        operation->setPlayIcon(QStringLiteral(":images/icon_play.png"));
        operation->setDeleteEnabled(true);
    }
    if (slider) {
        slider->setValue(0);
        slider->setEnabled(false);
    }
    QObject::disconnect(engine->getSavedPlayer(), nullptr, nullptr, nullptr);
}

// While the user drags, the saved-file player waits and the main window's
// controls are free; the release resumes it.
void MainWindow::onRowSliderPressed()
{
    if (engine->getCutterState() != Engine::PLAYING)
        return;
    engine->getSavedPlayer()->pause();
    engine->setCutterState(Engine::IDEL);
}

void MainWindow::onRowSliderReleased()
{
    if (engine->getCutterState() != Engine::IDEL)
        return;
    engine->setCutterState(Engine::PLAYING);
    engine->getSavedPlayer()->play();
}

void MainWindow::deleteRow(const QPointer<Operation> &operation)
{
    const int row = rowOf(operation);
    if (row < 0)
        return;
    bool deleted = false;
    discardFile(ui->tableWidget->item(row, FileColumn)->text(), &deleted);
    ui->tableWidget->removeRow(row);
    if (deleted)
        showNotice(tr("There is no trash for these files: they were deleted."), true);

    const int checked = checkedRowCount();
    ui->checkBoxSelectAll->setEnabled(checked > 0);
    ui->checkBoxSelectAll->setChecked(checked > 0);
}

void MainWindow::onRowCheckBoxClicked()
{
    const int checked = checkedRowCount();
    ui->pushButtonClearList->setEnabled(checked > 0);
    ui->checkBoxSelectAll->setChecked(checked == ui->tableWidget->rowCount());
}

void MainWindow::on_checkBoxSelectAll_clicked(bool checked)
{
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        if (QCheckBox *checkBox = rowCheckBox(row))
            checkBox->setChecked(checked);
    }
    ui->pushButtonClearList->setEnabled(checked);
}

// Moves the checked files to the trash and drops their rows. The user
// checked them and pressed the button; there is no further question.
void MainWindow::on_pushButtonClearList_clicked()
{
    if (checkedRowCount() == 0)
        return;
    // A file must not be removed under the player, and the stop restores its
    // row before the row goes.
    engine->getSavedPlayer()->stop();

    QTableWidget *table = ui->tableWidget;
    int count = table->rowCount();
    bool deleted = false;
    for (int row = 0; row < count;) {
        const QCheckBox *checkBox = rowCheckBox(row);
        if (checkBox && checkBox->isChecked()) {
            discardFile(table->item(row, FileColumn)->text(), &deleted);
            table->removeRow(row);
            --count;
        } else {
            ++row;
        }
    }

    const int checked = checkedRowCount();
    ui->checkBoxSelectAll->setEnabled(checked > 0);
    if (checked == 0)
        ui->checkBoxSelectAll->setChecked(false);
    if (deleted)
        showNotice(tr("There is no trash for these files: they were deleted."), true);
}

// ---------------------------------------------------------------------------
// Theme and selection colour

void MainWindow::on_actionTheme_triggered()
{
    using namespace SettingsKeys;
    StyleSettingsDialog dialog;
    const int index = std::max(1, settings->getValue(common, styleSection, themeIndex).toInt());
    const QString color = settings->getValue(common, styleSection, selectColor).toString();
    const int colorIndex = std::max(0, SelectionColors::indexOf(color));
    dialog.setCheckedItems(index, colorIndex);
    connect(&dialog, &StyleSettingsDialog::sendIndex, this, &MainWindow::onThemeChosen);
    connect(&dialog, &StyleSettingsDialog::sendSelectedColor, this, &MainWindow::onColorChosen);
    dialog.exec();
}

// The dialog restyles the whole application itself after this returns; the
// widgets whose size does not suit the theme sheet are styled here.
void MainWindow::onThemeChosen(int index)
{
    engine->setThemeIndex(index);
    setThemeWidgets(index);
    settings->setValue(SettingsKeys::common, SettingsKeys::styleSection, SettingsKeys::themeIndex, index);
    applySelectColor(false);
    // Recoloured by the field's own rule, so a missing folder stays red.
    on_lineEdit_saveTo_textChanged(ui->lineEdit_saveTo->text());
    for (int row = 0; row < ui->tableWidget->rowCount(); ++row) {
        if (auto *operation = qobject_cast<Operation *>(ui->tableWidget->cellWidget(row, OperationColumn)))
            operation->setThemeIndex(index);
    }
}

void MainWindow::onColorChosen(const QString &color)
{
    settings->setValue(SettingsKeys::common, SettingsKeys::styleSection, SettingsKeys::selectColor, color);
    applySelectColor(true);
}

// ---------------------------------------------------------------------------
// Menus and closing

// Leaving through the menu keeps the run's settings, exactly as closing the
// window does.
void MainWindow::on_actionExit_triggered()
{
    MsgDialog dialog;
    dialog.setThemeIndex(engine->getThemeIndex());
    dialog.setFixedSize(240, 120);
    dialog.setText(tr("Are you confirm to exit?"));
    if (dialog.exec() != QDialog::Accepted)
        return;
    settings->save();
    QCoreApplication::quit();
}

void MainWindow::on_actionAbout_triggered()
{
    MsgDialog dialog;
    dialog.setThemeIndex(engine->getThemeIndex());
    dialog.setWindowTitle(tr("About"));
    // Three lines do not fit the notice size once a theme pads the text.
    dialog.setFixedSize(260, 150);
    dialog.setText(tr("Name:Snipwave\nVersoin:%1\nCopyright 2026 The Snipwave developers")
                       .arg(QStringLiteral("v") + QCoreApplication::applicationVersion()));
    dialog.setCancelVisible(false);
    dialog.exec();
}

void MainWindow::on_actionHelp_triggered()
{
    MsgDialog dialog;
    dialog.setThemeIndex(engine->getThemeIndex());
    dialog.setFixedSize(325, 225);
    dialog.setWindowTitle(tr("Help"));
    dialog.setScrollable(true);
    dialog.setText(tr("Help contents.") + QStringLiteral("\n\n") + tr("Keys:\n"
        "Space: play or pause\n"
        "I or [: start point at the playback position\n"
        "O or ]: end point at the playback position\n"
        "Left / Right: back or forward 1 second\n"
        "Shift+Left / Shift+Right: one frame\n"
        "Ctrl+Left / Ctrl+Right: 10 seconds\n"
        "Home / End: to the start or end point\n"
        "Ctrl+O: open a file\n"
        "Ctrl+S or Return: split and preview\n"
        "F1: this help\n"
        "Ctrl+Q: exit\n"
        "While a time field or the file path is being edited, the keys edit the text.")
        + QStringLiteral("\n\n") + marksHelp());
    dialog.setCancelVisible(false);
    dialog.exec();
}

void MainWindow::on_actionOpen_Save_Dir_triggered()
{
    // The field holds a local path; read as a URL, a '#' or '%' in a folder
    // name would be taken for URL syntax and open some other place.
    QDesktopServices::openUrl(QUrl::fromLocalFile(ui->lineEdit_saveTo->text().trimmed()));
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    settings->save();
    QMainWindow::closeEvent(event);
}
