#ifndef LEVELOPTIONS_H
#define LEVELOPTIONS_H

#include "level/levelmap.h"

#include <QCommandLineOption>
#include <QString>
#include <QVector>

class QCommandLineParser;

// The options that change the level of what is written: --gain DB or
// --normalize, and --fade-in TIME, --fade-out TIME. A single cut, an edit
// and every piece of a batch job read them the same way.
class LevelOptions
{
public:
    static constexpr double MaxGainDb = 96.0;

    void addTo(QCommandLineParser &parser) const;
    bool isSet(const QCommandLineParser &parser) const;
    QVector<const QCommandLineOption *> all() const { return {&m_gain, &m_normalize, &m_fadeIn, &m_fadeOut}; }
    // The options that may be given once only.
    QVector<const QCommandLineOption *> once() const { return {&m_gain, &m_fadeIn, &m_fadeOut}; }
    // Fills level from the parsed options; on a bad value, says why (for a
    // usage error) and leaves level as it was.
    QString read(const QCommandLineParser &parser, LevelRequest *level) const;

    // "+3", "-4.5", "2dB", "-1.5 dB", within MaxGainDb.
    static bool parseDecibels(const QString &text, double *db);

private:
    const QCommandLineOption m_gain {QStringLiteral("gain"), QString(), QStringLiteral("DB")};
    const QCommandLineOption m_normalize {QStringLiteral("normalize"), QString()};
    const QCommandLineOption m_fadeIn {QStringLiteral("fade-in"), QString(), QStringLiteral("TIME")};
    const QCommandLineOption m_fadeOut {QStringLiteral("fade-out"), QString(), QStringLiteral("TIME")};
};

#endif // LEVELOPTIONS_H
