#ifndef SPANWRITER_H
#define SPANWRITER_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QtGlobal>

#include <functional>

class SourceFile;

// Writes one span of a source file's bytes to a file of its own, through an
// AtomicFile: the file appears under its name complete, or not at all, and a
// file that stood there before is left alone on failure.
class SpanWriter
{
    Q_DECLARE_TR_FUNCTIONS(SpanWriter)

public:
    // Gets the bytes written so far, now and then.
    using Progress = std::function<void(qint64 written)>;

    // The source's bytes [from, to), with front written before them and back
    // after them (a piece's tags).
    struct Piece
    {
        qint64 from = 0;
        qint64 to = 0;
        QByteArray front;
        QByteArray back;
    };

    // False and the system's reason when the file could not be written
    // whole, or the source changed since it was opened.
    static bool write(SourceFile &source, const Piece &piece, const QString &path, bool sync,
                      const Progress &progress, QString *error);

    // Bytes copied between two progress reports.
    static constexpr qint64 Step = 1024 * 1024;
};

#endif // SPANWRITER_H
