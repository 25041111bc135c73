#include "stylesettingsdialog.h"
#include "ui_stylesettingsdialog.h"

#include "selectioncolors.h"
#include "stylesheetreader.h"

#include <QApplication>
#include <QIcon>

StyleSettingsDialog::StyleSettingsDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::StyleSettingsDialog>())
{
    ui->setupUi(this);
    reader = new StyleSheetReader(this);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    setWindowIcon(QIcon(QStringLiteral(":images/icon_themes.png")));
    // The same on every theme, however a theme sheet pads the buttons: the
    // layout is kept tight enough to fit that size on all four.
    ui->gridLayout_2->setContentsMargins(9, 1, 9, 1);
    ui->gridLayout_2->setVerticalSpacing(0);
    for (QGridLayout *group : {ui->gridLayout, ui->gridLayout_4})
        group->setContentsMargins(7, 0, 7, 0);
    for (QGridLayout *radios : {ui->gridLayout_5, ui->gridLayout_3})
        radios->setVerticalSpacing(0);
    for (QWidget *group : {static_cast<QWidget *>(ui->groupBox), static_cast<QWidget *>(ui->groupBox_2)})
        group->setStyleSheet(QStringLiteral("QRadioButton{margin:0px;padding:0px;}"));
    setFixedSize(256, 208);
}

StyleSettingsDialog::~StyleSettingsDialog() = default;

void StyleSettingsDialog::setCheckedItems(int themeIndex, int colorIndex)
{
    switch (themeIndex) {
    case 2:
        ui->radioButton_style2->setChecked(true);
        break;
    case 3:
        ui->radioButton_style3->setChecked(true);
        break;
    case 4:
        ui->radioButton_style4->setChecked(true);
        break;
    default:
        ui->radioButton_style1->setChecked(true);
        break;
    }

    switch (colorIndex) {
    case 1:
        ui->radioButtonPurple->setChecked(true);
        break;
    case 2:
        ui->radioButtonBlue->setChecked(true);
        break;
    case 3:
        ui->radioButtonOrange->setChecked(true);
        break;
    default:
        ui->radioButtonGreen->setChecked(true);
        break;
    }
}

void StyleSettingsDialog::applyCheckedTheme()
{
    int index = 4;
    if (ui->radioButton_style1->isChecked())
        index = 1;
    else if (ui->radioButton_style2->isChecked())
        index = 2;
    else if (ui->radioButton_style3->isChecked())
        index = 3;

    // The receiver restyles its own widgets first; the application sheet
    // follows once it has returned.
    emit sendIndex(index);
    qApp->setStyleSheet(reader->readStyleSheet(index));
}

void StyleSettingsDialog::on_radioButton_style1_clicked()
{
    applyCheckedTheme();
}

void StyleSettingsDialog::on_radioButton_style2_clicked()
{
    applyCheckedTheme();
}

void StyleSettingsDialog::on_radioButton_style3_clicked()
{
    applyCheckedTheme();
}

void StyleSettingsDialog::on_radioButton_style4_clicked()
{
    applyCheckedTheme();
}

void StyleSettingsDialog::on_radioButtonGreen_clicked(bool checked)
{
    Q_UNUSED(checked)
    emit sendSelectedColor(SelectionColors::green);
}

void StyleSettingsDialog::on_radioButtonPurple_clicked(bool checked)
{
    Q_UNUSED(checked)
    emit sendSelectedColor(SelectionColors::purple);
}

void StyleSettingsDialog::on_radioButtonBlue_clicked(bool checked)
{
    Q_UNUSED(checked)
    emit sendSelectedColor(SelectionColors::blue);
}

void StyleSettingsDialog::on_radioButtonOrange_clicked()
{
    emit sendSelectedColor(SelectionColors::orange);
}

void StyleSettingsDialog::on_pushButtonConfirm_clicked()
{
    accept();
}
