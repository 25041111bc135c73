// MainWindow, second part: the list of cut files and their playback, the
// menus other than Open, the theme and colour choice, and closing.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "engine.h"
#include "msgdialog.h"
#include "outputlist.h"
#include "selectioncolors.h"
#include "settingskeys.h"
#include "stylesettingsdialog.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>

// ---------------------------------------------------------------------------
// The output list: the rows are OutputList's; the window keeps the buttons
// above it in step.

void MainWindow::setupOutputList()
{
    ui->tableWidget->setEngine(engine);
    connect(ui->tableWidget, &OutputList::checksChanged, this, &MainWindow::updateListButtons);
    connect(ui->tableWidget, &OutputList::notice, this, [this](const QString &text) { showNotice(text, true); });
}

// Lists a file that a cut has just written and plays it. The engine announces
// the output path after a failed cut too; a path where no file exists gets no
// row, since there is nothing to play or delete.
void MainWindow::setSavedFile(QString file)
{
    if (!QFileInfo(file).isFile())
        return;
    ui->tableWidget->addFile(file);
}

int MainWindow::checkedRowCount() const
{
    return ui->tableWidget->checkedRowCount();
}

// "Select All" works whenever there are rows, and is checked when every row
// is; "Clear" works when a row is checked.
void MainWindow::updateListButtons()
{
    const int rows = ui->tableWidget->rowCount();
    const int checked = checkedRowCount();
    ui->checkBoxSelectAll->setEnabled(rows > 0);
    ui->checkBoxSelectAll->setChecked(rows > 0 && checked == rows);
    ui->pushButtonClearList->setEnabled(checked > 0);
}

void MainWindow::on_checkBoxSelectAll_clicked(bool checked)
{
    ui->tableWidget->setAllChecked(checked);
}

void MainWindow::on_pushButtonClearList_clicked()
{
    ui->tableWidget->removeChecked();
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
    ui->tableWidget->setThemeIndex(index);
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
        + QStringLiteral("\n\n") + marksHelp() + QStringLiteral("\n\n") + chaptersHelp());
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
