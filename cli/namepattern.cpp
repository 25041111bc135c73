#include "namepattern.h"

#include "piecelist.h"

#include <QStringList>

namespace {

const QStringList &fields()
{
    static const QStringList names = {QStringLiteral("n"),     QStringLiteral("title"), QStringLiteral("performer"),
                                      QStringLiteral("stem"),  QStringLiteral("start"), QStringLiteral("end")};
    return names;
}

} // namespace

NamePattern::NamePattern(const QString &pattern)
    : m_pattern(pattern)
{
}

bool NamePattern::isValid(QString *error) const
{
    if (m_pattern.isEmpty()) {
        *error = tr("the name pattern is empty");
        return false;
    }
    if (m_pattern.contains(QLatin1Char('/'))) {
        *error = tr("the name pattern names a file, not a folder: '/' in \"%1\"").arg(m_pattern);
        return false;
    }
    for (int open = m_pattern.indexOf(QLatin1Char('{')); open >= 0; open = m_pattern.indexOf(QLatin1Char('{'), open + 1)) {
        const int close = m_pattern.indexOf(QLatin1Char('}'), open);
        if (close < 0) {
            *error = tr("unclosed '{' in the name pattern \"%1\"").arg(m_pattern);
            return false;
        }
        const QString field = m_pattern.mid(open + 1, close - open - 1);
        if (!fields().contains(field)) {
            *error = tr("unknown field {%1} in the name pattern; known are {n}, {title}, {performer}, "
                        "{stem}, {start} and {end}").arg(field);
            return false;
        }
    }
    return true;
}

QString NamePattern::replaceUnsafe(const QString &text)
{
    QString safe = text;
    for (QChar &c : safe) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F || QStringLiteral("/\\:*?\"<>|").contains(c))
            c = QLatin1Char('_');
    }
    return safe;
}

QString NamePattern::timeText(qint64 ms)
{
    const qint64 hours = ms / 3600000;
    const QString rest = QStringLiteral("%1m%2.%3s")
                             .arg(ms / 60000 % 60, 2, 10, QLatin1Char('0'))
                             .arg(ms / 1000 % 60, 2, 10, QLatin1Char('0'))
                             .arg(ms % 1000, 3, 10, QLatin1Char('0'));
    return hours > 0 ? QStringLiteral("%1h").arg(hours) + rest : rest;
}

QString NamePattern::fileName(const Piece &piece, int number, int count, const QString &stem, qint64 endMs) const
{
    const QString n = QStringLiteral("%1").arg(number, QString::number(count).size(), 10, QLatin1Char('0'));
    const QString values[] = {
        n,
        piece.title.isEmpty() ? stem + QLatin1Char('_') + n : piece.title,
        piece.performer,
        stem,
        timeText(piece.startMs),
        timeText(endMs),
    };
    QString name;
    int at = 0;
    for (int open = m_pattern.indexOf(QLatin1Char('{')); open >= 0; open = m_pattern.indexOf(QLatin1Char('{'), at)) {
        const int close = m_pattern.indexOf(QLatin1Char('}'), open);
        if (close < 0)
            break;
        name += m_pattern.midRef(at, open - at);
        const int field = fields().indexOf(m_pattern.mid(open + 1, close - open - 1));
        name += field >= 0 ? replaceUnsafe(values[field]) : m_pattern.mid(open, close - open + 1);
        at = close + 1;
    }
    return name + m_pattern.midRef(at);
}
