#ifndef SHEETTEXT_H
#define SHEETTEXT_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>

class QIODevice;

// The text of a CUE sheet or a list of ranges, as people and rippers write
// them: read whole but never past a size no such text reaches (so that
// /dev/zero or a stray huge file is refused instead of filling the memory),
// and decoded as UTF-8 (with or without a byte order mark) where the bytes
// are valid UTF-8, else as Windows-1252.
class SheetText
{
    Q_DECLARE_TR_FUNCTIONS(SheetText)

public:
    static constexpr qint64 MaxBytes = 4 * 1024 * 1024;

    // All of device (open for reading), or false and why when it holds
    // more than MaxBytes or cannot be read.
    static bool read(QIODevice &device, QByteArray *bytes, QString *error);
    static QString decode(const QByteArray &bytes);
};

#endif // SHEETTEXT_H
