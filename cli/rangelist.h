#ifndef RANGELIST_H
#define RANGELIST_H

#include <QByteArray>
#include <QCoreApplication>
#include <QString>
#include <QVector>

// A list of pieces to cut, one a line:
//
//   # chapter marks
//   0        12:30    Introduction
//   12:30    41:07.5  The long middle part
//   41:07.5  1:02:00
//
// START and END in any form TimeParser reads, then an optional NAME: the rest
// of the line, spaces included. Blank lines and lines starting with '#' are
// passed over. Ranges may overlap or leave gaps; they are kept as listed.
class RangeList
{
    Q_DECLARE_TR_FUNCTIONS(RangeList)

public:
    struct Range
    {
        qint64 startMs = 0;
        qint64 endMs = 0;
        QString name;
        int line = 0;   // 1-based
    };

    // bytes: the list as read, decoded as SheetText does. False and a
    // message naming the line on the first line that is wrong.
    static bool parse(const QByteArray &bytes, QVector<Range> *ranges, QString *error);
};

#endif // RANGELIST_H
