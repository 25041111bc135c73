#ifndef OPERATION_H
#define OPERATION_H

#include <QWidget>

#include <memory>

class QPushButton;

namespace Ui {
class Operation;
}

// The play and delete buttons of one row of the output list. The clicks come
// out as this widget's own signals, so the owner connects each row's widget
// to that row's handlers. The delete button starts hidden.
class Operation : public QWidget
{
    Q_OBJECT

public:
    explicit Operation(QWidget *parent = nullptr);
    ~Operation() override;

    // Button style of theme 1..4; any other index leaves the buttons alone.
    void setThemeIndex(int index);
    void setPlayIcon(const QString &path);
    void setDeleteEnabled(bool enabled);
    QPushButton *playButton() const;

signals:
    void playButtonClicked();
    void deleteButtonClicked();

private slots:
    void on_pushButtonPlay_clicked();
    void on_pushButtonDelete_clicked();

private:
    void setButtonStyleSheet(const QString &styleSheet);

    std::unique_ptr<Ui::Operation> ui;
};

#endif // OPERATION_H
