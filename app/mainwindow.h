#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include <QMainWindow>

// Stand-in for the program's main window, just enough for the start-up
// sequence to build, reset and show a window with a translated text in the
// application font. It goes away as soon as the real window exists.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);

    void resetUi();
};

#endif // MAINWINDOW_H
