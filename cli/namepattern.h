#ifndef NAMEPATTERN_H
#define NAMEPATTERN_H

#include <QCoreApplication>
#include <QString>

struct Piece;

// Names the pieces of a batch cut from a pattern with fields in braces:
//
//   {n}          the piece's number, zero-padded to the width of the count
//   {title}      its title (CUE TITLE, or the NAME of a range line); the
//                file's stem and the number where it has none
//   {performer}  its performer (CUE PERFORMER), empty where it has none
//   {stem}       the source's file name without its extension
//   {start}      where the piece was asked to start, as 05m00.000s
//   {end}        where it was asked to end, the same way
//
// A field's text can come from anywhere (a sheet, a list), so the characters
// that a file name cannot hold on common file systems (/ \ : * ? " < > | and
// control characters) are replaced by '_' in it.
class NamePattern
{
    Q_DECLARE_TR_FUNCTIONS(NamePattern)

public:
    static QString defaultPattern() { return QStringLiteral("{stem}_{n}.mp3"); }

    explicit NamePattern(const QString &pattern);

    // False and a reason for an unknown field, an unclosed brace or a '/'.
    bool isValid(QString *error) const;

    // number: 1-based; count: how many pieces the job has; endMs: the end
    // the piece was asked for, or the source's length for a piece to the end.
    QString fileName(const Piece &piece, int number, int count, const QString &stem, qint64 endMs) const;

    static QString replaceUnsafe(const QString &text);
    // 65000 -> "01m05.000s", 3723004 -> "1h02m03.004s".
    static QString timeText(qint64 ms);

private:
    QString m_pattern;
};

#endif // NAMEPATTERN_H
