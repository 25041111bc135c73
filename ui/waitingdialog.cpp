#include "waitingdialog.h"
#include "ui_waitingdialog.h"

#include "mp3splitter.h"

WaitingDialog::WaitingDialog(QWidget *parent)
    : QDialog(parent)
    , ui(std::make_unique<Ui::WaitingDialog>())
{
    ui->setupUi(this);
    setWindowFlags(Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
}

WaitingDialog::~WaitingDialog() = default;

void WaitingDialog::watchCutter(Mp3Splitter *splitter)
{
    cutter = splitter;
    connect(splitter, SIGNAL(saveProgressBarMaxValue(int)), ui->progressBar, SLOT(setMaximum(int)));
    connect(splitter, SIGNAL(currentSaveProgress(int)), ui->progressBar, SLOT(setValue(int)));
    connect(splitter, &Mp3Splitter::currentState, this, &WaitingDialog::appendInfo);
}

void WaitingDialog::complete(const QString &err)
{
    if (err.isEmpty())
        accept();
}

void WaitingDialog::appendInfo(const QString &info)
{
    ui->textEditInfo->append(info);
}

void WaitingDialog::on_pushButtonConfirm_clicked()
{
    // Also while the cut still runs: it finishes on its own thread.
    accept();
}
