#include "cuesheet.h"

#include "sheettext.h"
#include "edit/timeparser.h"

#include <QFileInfo>
#include <QStringList>

#include <algorithm>

namespace {

// The value after a keyword: between the first and the last double quote when
// it starts with one, else the first word.
QString value(const QString &rest)
{
    const QString trimmed = rest.trimmed();
    if (trimmed.startsWith(QLatin1Char('"'))) {
        const int close = trimmed.lastIndexOf(QLatin1Char('"'));
        return close > 0 ? trimmed.mid(1, close - 1) : trimmed.mid(1);
    }
    return trimmed.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty);
}

bool digitsOnly(const QString &text)
{
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    return !text.isEmpty();
}

// mm:ss:ff, 75 frames a second, rounded to the nearest millisecond. Digits
// only (no sign), and no more minutes than a time on the command line.
bool indexTime(const QString &text, qint64 *ms)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() != 3 || !digitsOnly(parts[0]) || !digitsOnly(parts[1]) || !digitsOnly(parts[2])
        || parts[0].size() > 18)
        return false;
    const qint64 minutes = parts[0].toLongLong();
    const int seconds = parts[1].toInt();
    const int frames = parts[2].toInt();
    if (minutes > TimeParser::MaxMilliseconds / 60000 || seconds > 59 || frames > 74
        || parts[1].size() != 2 || parts[2].size() != 2)
        return false;
    *ms = (minutes * 60 + seconds) * 1000 + (frames * 1000 + 37) / 75;
    return true;
}

QString fileName(const QString &path)
{
    // Either separator: the sheet may come from Windows.
    const int cut = std::max(path.lastIndexOf(QLatin1Char('/')), path.lastIndexOf(QLatin1Char('\\')));
    return path.mid(cut + 1);
}

QString stem(const QString &name)
{
    const int dot = name.lastIndexOf(QLatin1Char('.'));
    return dot > 0 ? name.left(dot) : name;
}

} // namespace

bool CueSheet::namesFile(const QString &sheetName, const QString &audioFile)
{
    const QString named = fileName(sheetName);
    const QString actual = QFileInfo(audioFile).fileName();
    if (named.compare(actual, Qt::CaseInsensitive) == 0)
        return true;
    static const QStringList audio = {QStringLiteral("wav"), QStringLiteral("flac"), QStringLiteral("ape"),
                                      QStringLiteral("wv"),  QStringLiteral("mp3"),  QStringLiteral("aiff"),
                                      QStringLiteral("bin")};
    const QString ext = QFileInfo(named).suffix().toLower();
    return audio.contains(ext) && stem(named).compare(stem(actual), Qt::CaseInsensitive) == 0;
}

bool CueSheet::parse(const QByteArray &bytes, const QString &audioFile, CueSheet *sheet, QString *error)
{
    *sheet = CueSheet();
    const QStringList lines = SheetText::decode(bytes).split(QLatin1Char('\n'));
    Track *track = nullptr;
    bool indexed = true;
    auto fail = [&](int line, const QString &why) {
        *error = tr("line %1: %2").arg(line).arg(why);
        return false;
    };
    auto missingIndex = [&]() {
        return fail(track->line, tr("track %1 has no INDEX 01").arg(track->number));
    };

    for (int i = 0; i < lines.size(); ++i) {
        const int line = i + 1;
        const QString text = lines.at(i).trimmed();
        const QString keyword = text.section(QLatin1Char(' '), 0, 0, QString::SectionSkipEmpty).toUpper();
        const QString rest = text.mid(text.indexOf(keyword, 0, Qt::CaseInsensitive) + keyword.size());
        if (keyword.isEmpty() || keyword == QLatin1String("REM"))
            continue;
        if (keyword == QLatin1String("FILE")) {
            const QString named = value(rest);
            if (!namesFile(named, audioFile))
                return fail(line, tr("the sheet is for \"%1\", not for \"%2\"").arg(named, QFileInfo(audioFile).fileName()));
        } else if (keyword == QLatin1String("TRACK")) {
            if (!indexed)
                return missingIndex();
            Track next;
            const QString number = value(rest);
            next.number = digitsOnly(number) && number.size() <= 3 ? number.toInt() : 0;
            if (next.number < 1 || next.number > 99)
                return fail(line, tr("\"%1\" is not a track number from 1 to 99").arg(number));
            next.line = line;
            next.performer = sheet->performer;
            sheet->tracks.append(next);
            track = &sheet->tracks.last();
            indexed = false;
        } else if (keyword == QLatin1String("TITLE")) {
            (track ? track->title : sheet->title) = value(rest);
        } else if (keyword == QLatin1String("PERFORMER")) {
            (track ? track->performer : sheet->performer) = value(rest);
        } else if (keyword == QLatin1String("INDEX") && track) {
            const QStringList fields = rest.simplified().split(QLatin1Char(' '));
            if (fields.size() < 2 || fields.at(0).toInt() != 1)
                continue;
            if (!indexTime(fields.at(1), &track->startMs))
                return fail(line, tr("\"%1\" is not a time mm:ss:ff").arg(fields.at(1)));
            if (sheet->tracks.size() > 1 && track->startMs <= sheet->tracks.at(sheet->tracks.size() - 2).startMs)
                return fail(line, tr("track %1 starts before the track ahead of it ends").arg(track->number));
            indexed = true;
        }
    }
    if (!indexed)
        return missingIndex();
    if (sheet->tracks.isEmpty())
        return fail(lines.size(), tr("the sheet has no TRACK"));
    return true;
}
