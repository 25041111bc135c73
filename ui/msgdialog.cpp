#include "msgdialog.h"
#include "ui_msgdialog.h"

#include <QPainter>

MsgDialog::MsgDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::MsgDialog>())
    , backgroundColor(Qt::white)
{
    // A bare frame with a close button: no help or minimise buttons.
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    ui->setupUi(this);
    setFixedSize(240, 120);
}

MsgDialog::~MsgDialog() = default;

void MsgDialog::setText(const QString &text)
{
    ui->textEdit->setText(text);
}

void MsgDialog::setScrollable(bool scrollable)
{
    ui->textEdit->setVerticalScrollBarPolicy(scrollable ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    ui->textEdit->setLineWrapMode(QTextEdit::WidgetWidth);
    ui->textEdit->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
}

void MsgDialog::setCancelVisible(bool visible)
{
    ui->pushButtonCancel->setVisible(visible);
}

void MsgDialog::setThemeIndex(int index)
{
    switch (index) {
    case 2:
        backgroundColor = QColor(QStringLiteral("#EAF7FF"));
        break;
    case 4:
        backgroundColor = QColor(QStringLiteral("#444444"));
        break;
    default:
        backgroundColor = QColor(QStringLiteral("#FFFFFF"));
        break;
    }
}

void MsgDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setPen(QPen(Qt::gray, 1));
    painter.setBrush(QBrush(backgroundColor, Qt::SolidPattern));
    painter.drawRect(QRect(0, 0, width(), height()));
}

void MsgDialog::on_pushButtonConfirm_clicked()
{
    accept();
}

void MsgDialog::on_pushButtonCancel_clicked()
{
    reject();
}
