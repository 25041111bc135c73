#ifndef WAITINGDIALOG_H
#define WAITINGDIALOG_H

#include <QDialog>

#include <memory>

class Mp3Splitter;

namespace Ui {
class WaitingDialog;
}

// Shown modally while a cut is written: the splitter's progress count and
// status lines. It closes itself when the cut ends without error and stays
// open on an error, so the user can read the last line.
class WaitingDialog : public QDialog
{
    Q_OBJECT

public:
    explicit WaitingDialog(QWidget *parent = nullptr);
    ~WaitingDialog() override;

    // Follows the splitter's progress and status lines. The splitter runs
    // on another thread, so everything arrives queued; deleting the dialog
    // drops the connections and the cut goes on without it.
    void watchCutter(Mp3Splitter *splitter);

public slots:
    // An empty error means success and closes the dialog.
    void complete(const QString &err);
    void appendInfo(const QString &info);

private slots:
    void on_pushButtonConfirm_clicked();

private:
    std::unique_ptr<Ui::WaitingDialog> ui;
    Mp3Splitter *cutter = nullptr; // not owned
};

#endif // WAITINGDIALOG_H
