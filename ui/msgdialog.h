#ifndef MSGDIALOG_H
#define MSGDIALOG_H

#include <QColor>
#include <QDialog>

#include <memory>

namespace Ui {
class MsgDialog;
}

// The program's notice and confirmation box: a text, "Confirm" (accepts) and
// "Cancel" (rejects), on a background that follows the theme.
class MsgDialog : public QDialog
{
    Q_OBJECT

public:
    explicit MsgDialog(QWidget *parent = nullptr);
    ~MsgDialog() override;

    // Rich text is recognised.
    void setText(const QString &text);
    void setCancelVisible(bool visible);
    // A long text: wrapped at the box's width, with a scroll bar as needed.
    void setScrollable(bool scrollable);
    // Background for theme 2 (light blue) and 4 (dark); white for any other
    // index. Shows at the next paint.
    void setThemeIndex(int index);

protected:
    void paintEvent(QPaintEvent *event) override;

private slots:
    void on_pushButtonConfirm_clicked();
    void on_pushButtonCancel_clicked();

private:
    std::unique_ptr<Ui::MsgDialog> ui;
    QColor backgroundColor;
};

#endif // MSGDIALOG_H
