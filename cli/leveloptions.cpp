#include "leveloptions.h"

#include "edit/timeparser.h"

#include <QCommandLineParser>
#include <QRegularExpression>

#include <cmath>

void LevelOptions::addTo(QCommandLineParser &parser) const
{
    parser.addOptions({m_gain, m_normalize, m_fadeIn, m_fadeOut});
}

bool LevelOptions::isSet(const QCommandLineParser &parser) const
{
    return parser.isSet(m_gain) || parser.isSet(m_normalize) || parser.isSet(m_fadeIn) || parser.isSet(m_fadeOut);
}

QString LevelOptions::read(const QCommandLineParser &parser, LevelRequest *level) const
{
    LevelRequest read;
    if (parser.isSet(m_gain)) {
        double db = 0;
        if (!parseDecibels(parser.value(m_gain), &db))
            return QStringLiteral("bad --gain '%1': decibels from -%2 to %2, like -3 or 4.5")
                .arg(parser.value(m_gain))
                .arg(MaxGainDb);
        read.gainSteps = LevelMap::stepsForDecibels(db);
    }
    if (parser.isSet(m_normalize)) {
        if (parser.isSet(m_gain))
            return QStringLiteral("--gain and --normalize both set the level: give one");
        read.normalize = true;
    }
    for (const auto &fade : {qMakePair(&m_fadeIn, &read.fadeInMs), qMakePair(&m_fadeOut, &read.fadeOutMs)}) {
        QString why;
        if (parser.isSet(*fade.first) && !TimeParser::parse(parser.value(*fade.first), fade.second, &why))
            return QStringLiteral("bad --%1 '%2': %3").arg(fade.first->names().constLast(), parser.value(*fade.first), why);
    }
    *level = read;
    return QString();
}

bool LevelOptions::parseDecibels(const QString &text, double *db)
{
    static const QRegularExpression form(QStringLiteral("^\\s*([+-]?(?:\\d+(?:\\.\\d*)?|\\.\\d+))\\s*(?:dB)?\\s*$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch())
        return false;
    *db = m.captured(1).toDouble();
    return std::abs(*db) <= MaxGainDb;
}
