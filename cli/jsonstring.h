#ifndef JSONSTRING_H
#define JSONSTRING_H

#include <QByteArray>
#include <QString>

// text as a JSON string, quotes included: the command line's JSON output is
// written by hand, keys in a fixed order.
inline QByteArray jsonString(const QString &text)
{
    QByteArray quoted = "\"";
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u == '"' || u == '\\') {
            quoted += '\\';
            quoted += char(u);
        } else if (u < 0x20) {
            quoted += "\\u00";
            quoted += QByteArray::number(u, 16).rightJustified(2, '0');
        } else {
            quoted += QString(c).toUtf8();
        }
    }
    return quoted + '"';
}

#endif // JSONSTRING_H
