#include "timefield.h"

#include "edit/timeparser.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>

namespace {

// The longest text worth keeping while it is typed: H:MM:SS.mmm with room
// for a long first field.
constexpr int longestText = 20;

bool isTimeChar(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char(':') || c == QLatin1Char('.')
        || c == QLatin1Char('"');
}

} // namespace

TimeField::TimeField(QWidget *parent)
    : QTimeEdit(parent)
{
    // A half-typed time is no time: the value changes when the text is taken.
    setKeyboardTracking(false);
}

// Blanks around a pasted time are dropped; anything else that could still
// become a time is let through until the text is taken.
QValidator::State TimeField::validate(QString &input, int &) const
{
    const QString text = input.trimmed();
    qint64 ms = 0;
    if (TimeParser::parse(text, &ms))
        return QValidator::Acceptable;
    if (text.size() <= longestText && std::all_of(text.cbegin(), text.cend(), isTimeChar))
        return QValidator::Intermediate;
    return QValidator::Invalid;
}

// Past the field's last time of day the value stays at that last time; the
// window clamps it to the source's end.
QDateTime TimeField::dateTimeFromText(const QString &text) const
{
    qint64 ms = 0;
    if (!TimeParser::parse(text.trimmed(), &ms))
        return dateTime();
    const qint64 last = QTime(0, 0).msecsTo(maximumTime());
    return QDateTime(date(), QTime(0, 0).addMSecs(int(std::min(ms, last))));
}

void TimeField::startTyping()
{
    if (!typing)
        lineEdit()->selectAll();
    typing = true;
}

// Typed characters and pastes go straight to the text, past the section
// logic of the time edit, which would read "1:30" section by section. While
// a time is typed the cursor keys edit the text; stepping takes it first.
void TimeField::keyPressEvent(QKeyEvent *event)
{
    const int key = event->key();
    const QString text = event->text();
    const bool plain = !(event->modifiers() & ~(Qt::ShiftModifier | Qt::KeypadModifier));
    const bool typed = plain && !text.isEmpty() && isTimeChar(text.at(0));
    const bool paste = event->matches(QKeySequence::Paste);
    const bool editing = key == Qt::Key_Backspace || key == Qt::Key_Delete || key == Qt::Key_Left
        || key == Qt::Key_Right || key == Qt::Key_Home || key == Qt::Key_End;
    const bool modifier = key == Qt::Key_Shift || key == Qt::Key_Control || key == Qt::Key_Alt
        || key == Qt::Key_Meta || key == Qt::Key_AltGr;

    if (typed || paste || (typing && editing)) {
        startTyping();
        // Quiet, or the time edit would take each new cursor place for a
        // move to another section and read the half-typed text.
        const QSignalBlocker quiet(lineEdit());
        QAbstractSpinBox::keyPressEvent(event);
        return;
    }
    if (typing && modifier) {
        // Shift on its way to a ':' ends nothing.
        event->ignore();
        return;
    }
    if (typing && (key == Qt::Key_Return || key == Qt::Key_Enter)) {
        // Taking the typed time is all Return does here.
        typing = false;
        QTimeEdit::keyPressEvent(event);
        event->accept();
        return;
    }
    if (typing && key == Qt::Key_Escape) {
        // Shows the time in force again; it has not changed.
        typing = false;
        const QSignalBlocker blocker(this);
        const QTime shown = time();
        setTime(shown.addMSecs(1));
        setTime(shown);
        event->accept();
        return;
    }
    if (typing) {
        typing = false;
        interpretText();
    }
    QTimeEdit::keyPressEvent(event);
}

// Leaving the field takes what was typed, as Return does.
void TimeField::focusOutEvent(QFocusEvent *event)
{
    if (typing) {
        typing = false;
        interpretText();
    }
    QTimeEdit::focusOutEvent(event);
}
