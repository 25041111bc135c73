#include "rangelist.h"

#include "sheettext.h"
#include "edit/timeparser.h"

#include <QRegularExpression>
#include <QStringList>

bool RangeList::parse(const QByteArray &bytes, QVector<Range> *ranges, QString *error)
{
    const QString text = SheetText::decode(bytes);
    ranges->clear();
    static const QRegularExpression fields(QStringLiteral("^(\\S+)\\s+(\\S+)(?:\\s+(.*))?$"));
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines.at(i).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        auto fail = [&](const QString &why) {
            *error = tr("line %1: %2").arg(i + 1).arg(why);
            return false;
        };
        const QRegularExpressionMatch match = fields.match(line);
        if (!match.hasMatch())
            return fail(tr("expected START END [NAME]"));
        Range range;
        range.line = i + 1;
        range.name = match.captured(3).trimmed();
        QString why;
        if (!TimeParser::parse(match.captured(1), &range.startMs, &why))
            return fail(tr("bad start '%1': %2").arg(match.captured(1), why));
        if (!TimeParser::parse(match.captured(2), &range.endMs, &why))
            return fail(tr("bad end '%1': %2").arg(match.captured(2), why));
        if (range.endMs <= range.startMs)
            return fail(tr("the end is not after the start"));
        ranges->append(range);
    }
    if (ranges->isEmpty()) {
        *error = tr("the list holds no range");
        return false;
    }
    return true;
}
