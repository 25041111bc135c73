#include "sheettext.h"

#include <QIODevice>
#include <QTextCodec>

bool SheetText::read(QIODevice &device, QByteArray *bytes, QString *error)
{
    bytes->clear();
    for (;;) {
        const QByteArray chunk = device.read(64 * 1024);
        if (chunk.isEmpty())
            break;
        *bytes += chunk;
        if (bytes->size() > MaxBytes) {
            bytes->clear();
            *error = tr("larger than %1 MiB, more than a sheet or a list holds").arg(MaxBytes / (1024 * 1024));
            return false;
        }
    }
    if (device.atEnd() || device.isSequential())
        return true;
    *error = device.errorString();
    return false;
}

QString SheetText::decode(const QByteArray &bytes)
{
    QTextCodec::ConverterState state;
    const QString text = QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars == 0)
        return text.startsWith(QChar(0xFEFF)) ? text.mid(1) : text;
    return QTextCodec::codecForName("Windows-1252")->toUnicode(bytes);
}
