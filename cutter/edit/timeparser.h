#ifndef TIMEPARSER_H
#define TIMEPARSER_H

#include <QString>
#include <QtGlobal>

// Reads a time given on the command line, exactly to the millisecond, with
// integer arithmetic only (a decimal fraction never passes through a double).
//
// Accepted forms, digits 0-9 only, no sign and no spaces:
//   SECONDS[.f]        83, 83.4, 83.456
//   M:SS[.f]           1:23.456
//   H:MM:SS[.f]        0:01:23.456
//   HH:mm:ss"zzz       00:01:23"456 (the form the window shows)
// The leading field has no upper bound (90:00 is ninety minutes); the fields
// after it must be two digits from 00 to 59. A fraction after '.' has one to
// three digits (.4 is 400 ms); after '"' exactly three. More digits than a
// millisecond can hold are refused rather than rounded, so a time is never
// silently moved.
class TimeParser
{
public:
    // The largest time accepted: its microseconds must still fit the cutter's
    // 64-bit arithmetic with room to spare (about 3170 years).
    static constexpr qint64 MaxMilliseconds = Q_INT64_C(99999999999999);

    // True and the time in milliseconds, or false and a short reason.
    static bool parse(const QString &text, qint64 *milliseconds, QString *reason = nullptr);
};

#endif // TIMEPARSER_H
