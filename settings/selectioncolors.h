#ifndef SELECTIONCOLORS_H
#define SELECTIONCOLORS_H

#include <QString>
#include <QStringList>

// The four colours the user can give the selection band and the length
// label, in the order of the style dialog's buttons. Green is the default.
namespace SelectionColors {

inline const QString green = QStringLiteral("#009F3C");
inline const QString purple = QStringLiteral("#91007B");
inline const QString blue = QStringLiteral("#00709E");
inline const QString orange = QStringLiteral("#E8641B");

inline const QString defaultColor = green;

// Index 0..3 of a colour in dialog order, -1 for any other text.
inline int indexOf(const QString &color)
{
    return QStringList{green, purple, blue, orange}.indexOf(color.toUpper());
}

} // namespace SelectionColors

#endif // SELECTIONCOLORS_H
