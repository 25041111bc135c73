#ifndef STYLESETTINGSDIALOG_H
#define STYLESETTINGSDIALOG_H

#include <QDialog>
#include <QString>

#include <memory>

namespace Ui {
class StyleSettingsDialog;
}

class StyleSheetReader;

// Lets the user pick a theme (1 to 4) and a selection colour. Every click
// takes effect at once: a theme click reports the index and then restyles the
// whole application, a colour click reports the colour. There is no cancel;
// closing keeps what was clicked.
class StyleSettingsDialog : public QDialog
{
    Q_OBJECT

public:
    explicit StyleSettingsDialog(QWidget *parent = nullptr);
    ~StyleSettingsDialog() override;

    // Shows the current choice without applying anything. Theme indexes
    // other than 2..4 check "Style 1"; colour indexes other than 1..3 check
    // "Green".
    void setCheckedItems(int themeIndex, int colorIndex);

signals:
    void sendIndex(int value);
    void sendSelectedColor(QString color);

private slots:
    void on_radioButton_style1_clicked();
    void on_radioButton_style2_clicked();
    void on_radioButton_style3_clicked();
    void on_radioButton_style4_clicked();
    void on_radioButtonGreen_clicked(bool checked);
    void on_radioButtonPurple_clicked(bool checked);
    void on_radioButtonBlue_clicked(bool checked);
    void on_radioButtonOrange_clicked();
    void on_pushButtonConfirm_clicked();

private:
    void applyCheckedTheme();

    std::unique_ptr<Ui::StyleSettingsDialog> ui;
    StyleSheetReader *reader = nullptr;
};

#endif // STYLESETTINGSDIALOG_H
