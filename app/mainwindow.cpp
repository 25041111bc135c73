#include "mainwindow.h"

#include <QLabel>

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(tr("Snipwave"));
    resize(720, 460);

    auto *label = new QLabel(tr("Split & Preview"), this);
    label->setAlignment(Qt::AlignCenter);
    setCentralWidget(label);
}

void MainWindow::resetUi()
{
    // Nothing to reset yet: the stand-in has no cut controls.
}
