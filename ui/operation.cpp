#include "operation.h"
#include "ui_operation.h"

#include "stylesheetreader.h"

#include <QIcon>

Operation::Operation(QWidget *parent)
    : QWidget(parent)
    , ui(std::make_unique<Ui::Operation>())
{
    ui->setupUi(this);
    // The form keeps designer-friendly 24-pixel buttons; rows are tighter.
    ui->pushButtonDelete->setFixedSize(20, 20);
    ui->pushButtonPlay->setFixedSize(20, 20);
    ui->pushButtonDelete->hide();
}

Operation::~Operation() = default;

void Operation::setThemeIndex(int index)
{
    switch (index) {
    case 1:
        setButtonStyleSheet(QString());
        break;
    case 2:
        setButtonStyleSheet(blueButtonStyle);
        break;
    case 3:
        setButtonStyleSheet(grayButtonStyle);
        break;
    case 4:
        setButtonStyleSheet(darkButtonStyle);
        break;
    default:
        break;
    }
}

void Operation::setButtonStyleSheet(const QString &styleSheet)
{
    ui->pushButtonDelete->setStyleSheet(styleSheet);
    ui->pushButtonPlay->setStyleSheet(styleSheet);
}

void Operation::setPlayIcon(const QString &path)
{
    ui->pushButtonPlay->setIcon(QIcon(path));
}

void Operation::setDeleteEnabled(bool enabled)
{
    ui->pushButtonDelete->setEnabled(enabled);
}

QPushButton *Operation::playButton() const
{
    return ui->pushButtonPlay;
}

void Operation::on_pushButtonPlay_clicked()
{
    emit playButtonClicked();
}

void Operation::on_pushButtonDelete_clicked()
{
    emit deleteButtonClicked();
}
