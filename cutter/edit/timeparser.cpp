#include "edit/timeparser.h"

#include <QVector>

namespace {

bool isAsciiDigit(QChar c)
{
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool allDigits(const QStringRef &field)
{
    for (const QChar c : field) {
        if (!isAsciiDigit(c))
            return false;
    }
    return !field.isEmpty();
}

// Digits of a field whose form has been checked; false when it passes the limit.
bool fieldValue(const QStringRef &field, qint64 limit, qint64 *value)
{
    qint64 v = 0;
    for (const QChar c : field) {
        v = v * 10 + (c.unicode() - '0');
        if (v > limit)
            return false;
    }
    *value = v;
    return true;
}

bool refuse(QString *reason, const QString &why)
{
    if (reason)
        *reason = why;
    return false;
}

} // namespace

bool TimeParser::parse(const QString &text, qint64 *milliseconds, QString *reason)
{
    if (text.isEmpty())
        return refuse(reason, QStringLiteral("empty time"));

    // Split off the fraction: '.' takes 1 to 3 digits, '"' exactly 3.
    QStringRef clock(&text);
    qint64 fraction = 0;
    const int dot = text.indexOf(QLatin1Char('.'));
    const int quote = text.indexOf(QLatin1Char('"'));
    if (dot >= 0 && quote >= 0)
        return refuse(reason, QStringLiteral("two fraction marks"));
    const int mark = dot >= 0 ? dot : quote;
    if (mark >= 0) {
        const QStringRef digits = text.midRef(mark + 1);
        if (!allDigits(digits))
            return refuse(reason, QStringLiteral("the fraction must be digits"));
        if (digits.size() > 3 || (quote >= 0 && digits.size() != 3))
            return refuse(reason, quote >= 0 ? QStringLiteral("milliseconds after '\"' must be three digits")
                                             : QStringLiteral("more than three fraction digits"));
        fieldValue(digits, 999, &fraction);
        for (int i = digits.size(); i < 3; ++i)
            fraction *= 10;
        clock = text.leftRef(mark);
    }

    const QVector<QStringRef> fields = clock.split(QLatin1Char(':'));
    if (fields.size() > 3)
        return refuse(reason, QStringLiteral("too many ':' fields"));
    if (quote >= 0 && fields.size() != 3)
        return refuse(reason, QStringLiteral("'\"' needs hours, minutes and seconds"));

    // Leading field: any number of digits up to the limit; then two-digit
    // fields below 60, each worth 60 of the one after it.
    static constexpr qint64 unitOf[3][3] = {{1000, 0, 0}, {60000, 1000, 0}, {3600000, 60000, 1000}};
    qint64 total = fraction;
    for (int i = 0; i < fields.size(); ++i) {
        const QStringRef &field = fields.at(i);
        if (!allDigits(field))
            return refuse(reason, QStringLiteral("not a time"));
        qint64 value = 0;
        if (i == 0) {
            const qint64 unit = unitOf[fields.size() - 1][0];
            if (!fieldValue(field, MaxMilliseconds / unit, &value))
                return refuse(reason, QStringLiteral("time too large"));
        } else {
            if (field.size() != 2)
                return refuse(reason, QStringLiteral("minutes and seconds after ':' must be two digits"));
            fieldValue(field, 99, &value);
            if (value > 59)
                return refuse(reason, QStringLiteral("minutes and seconds must be below 60"));
        }
        total += value * unitOf[fields.size() - 1][i];
    }
    if (total > MaxMilliseconds)
        return refuse(reason, QStringLiteral("time too large"));
    *milliseconds = total;
    return true;
}
