#ifndef TIMEFIELD_H
#define TIMEFIELD_H

#include <QTimeEdit>

// A time field of the window. Stepping works section by section as in any
// time edit; typed or pasted text is read as a whole instead, in the forms
// the command line takes: seconds ("83.4"), M:SS.mmm ("1:23.456"),
// H:MM:SS.mmm, and the field's own HH:mm:ss"zzz. The first key typed
// replaces the shown time; Return or leaving the field takes the text,
// Escape drops it.
class TimeField : public QTimeEdit
{
    Q_OBJECT

public:
    explicit TimeField(QWidget *parent = nullptr);

    QValidator::State validate(QString &input, int &pos) const override;

protected:
    QDateTime dateTimeFromText(const QString &text) const override;
    void keyPressEvent(QKeyEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void startTyping();

    bool typing = false;
};

#endif // TIMEFIELD_H
