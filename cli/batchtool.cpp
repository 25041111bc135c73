#include "batchtool.h"

#include "edit/cutjob.h"
#include "edit/levelstep.h"
#include "edittool.h"
#include "jobcheck.h"
#include "leveloptions.h"
#include "mp3splitter.h"
#include "namepattern.h"
#include "optionnames.h"
#include "analysis/silencefinder.h"
#include "io/sourcefile.h"
#include "edit/cutplanner.h"
#include "scan/sourcescan.h"
#include "tags/chaptermap.h"
#include "tags/chapterreader.h"
#include "tags/tagcopier.h"
#include "sheettext.h"
#include "edit/timeparser.h"

#include <QCommandLineParser>
#include <QFile>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <memory>

#include <unistd.h>

namespace {

const QString Program = QStringLiteral("snipwave-cut");
const QStringList ModeOptions = {QStringLiteral("every"), QStringLiteral("cue"), QStringLiteral("ranges"),
                                 QStringLiteral("silences"), QStringLiteral("split-chapters")};

// "-45", "-45.5", "-45dB"
bool parseDecibels(QString text, double *db)
{
    if (text.endsWith(QLatin1String("db"), Qt::CaseInsensitive))
        text.chop(2);
    bool ok = false;
    *db = text.toDouble(&ok);
    return ok && *db < 0 && *db > -150;
}

} // namespace

BatchTool::BatchTool(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
    , m_progress(::isatty(STDERR_FILENO) == 1)
{
}

bool BatchTool::handles(const QStringList &arguments)
{
    return givesOption(arguments, ModeOptions);
}

QString BatchTool::helpText()
{
    return tr("Many pieces in one run, each into DIR (see man snipwave-cut):\n"
              "  snipwave-cut INPUT --every TIME -d DIR    pieces of TIME; the last holds the rest\n"
              "  snipwave-cut INPUT --cue SHEET -d DIR     one piece per track of a CUE sheet\n"
              "  snipwave-cut INPUT --ranges LIST -d DIR   one piece per line START END [NAME] ('-' stdin)\n"
              "  snipwave-cut INPUT --silences -d DIR      split in the middle of each silence\n"
              "  snipwave-cut INPUT --split-chapters -d DIR   one piece per chapter of INPUT\n"
              "  with --name PATTERN, --overwrite, --dry-run, --json, --min-silence TIME, --threshold DB;\n"
              "  --exact, --keep-tags and the LEVEL options apply to every piece\n");
}

QString BatchTool::readSilenceSettings(const QString &minSilence, const QString &threshold,
                                       SilenceFinder::Settings *settings)
{
    QString why;
    if (!minSilence.isNull() && (!TimeParser::parse(minSilence, &settings->minSilenceMs, &why)
                                  || settings->minSilenceMs <= 0))
        return tr("bad --min-silence '%1': %2").arg(minSilence, why.isEmpty() ? tr("must be more than 0") : why);
    if (!threshold.isNull() && !parseDecibels(threshold, &settings->thresholdDb))
        return tr("bad --threshold '%1': a level in dBFS below 0, such as -45").arg(threshold);
    return QString();
}

int BatchTool::usageError(const QString &why)
{
    m_err << Program << ": " << why << '\n' << tr("Try 'snipwave-cut --help' for more information.\n");
    m_err.flush();
    return 2;
}

int BatchTool::failure(const QString &why)
{
    m_err << Program << ": " << why << '\n';
    m_err.flush();
    return 1;
}

// -1 when a job of count pieces may go on, else the exit code of its refusal.
int BatchTool::refuseTooMany(const QString &what, qint64 count)
{
    const QString why = JobCheck::tooManyPieces(count);
    return why.isEmpty() ? -1 : failure(what + QStringLiteral(": ") + why);
}

int BatchTool::run(const QStringList &arguments)
{
    Job job;
    const int parsed = parse(arguments, &job);
    if (parsed >= 0)
        return parsed;

    SourceFile sourceFile;
    if (!sourceFile.open(job.input))
        return failure(job.input + QStringLiteral(": ") + sourceFile.errorString());
    QFile &source = sourceFile.file();
    // One scan of the source serves the whole job.
    std::unique_ptr<SilenceFinder> finder;
    if (job.mode == Silences) {
        finder = std::make_unique<SilenceFinder>(source, job.silence);
    }
    SourceScan scan = SourceScan::run(&source, finder ? finder->visitor() : SourceScan::Visitor());
    if (scan.error == CutResult::FirstFrameNotFound || scan.firstOffset < 0)
        return failure(job.input + QStringLiteral(": ") + tr("no MPEG audio frame found"));
    if (scan.error == CutResult::SourceChanged)
        return failure(tr("%1: the file changed while it was read").arg(job.input));
    const int found = findPieces(source, scan, finder.get(), &job);
    if (found >= 0)
        return found;
    if (job.pieces.isEmpty())
        return failure(tr("%1: no piece to cut").arg(job.input));
    name(scan, &job);
    const int planned = planPieces(sourceFile, scan, &job);
    if (planned >= 0)
        return planned;
    if (job.keepTags)
        addTags(&job);
    JobCheck::Job check;
    check.source = job.input;
    check.folder = job.folder;
    check.frameCount = scan.frames;
    check.overwrite = job.overwrite;
    check.createFolder = true;
    const QStringList problems = JobCheck::problems(check, job.pieces);
    if (!problems.isEmpty()) {
        for (const QString &problem : problems)
            m_err << Program << ": " << problem << '\n';
        m_err << tr("Nothing was written.") << '\n';
        m_err.flush();
        return 1;
    }
    if (job.dryRun) {
        m_out << planJson(scan, job);
        m_out.flush();
        return 0;
    }
    // Like mp3splt, make the folder the pieces go to.
    if (!QFileInfo::exists(job.folder) && !QDir().mkpath(job.folder))
        return failure(tr("%1: the output folder cannot be made").arg(job.folder));
    return write(sourceFile, job);
}

int BatchTool::parse(const QStringList &arguments, Job *job)
{
    QCommandLineParser parser;
    const QCommandLineOption every(QStringLiteral("every"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption cue(QStringLiteral("cue"), QString(), QStringLiteral("SHEET"));
    const QCommandLineOption ranges(QStringLiteral("ranges"), QString(), QStringLiteral("LIST"));
    const QCommandLineOption silences(QStringLiteral("silences"), QString());
    const QCommandLineOption chapters(QStringLiteral("split-chapters"), QString());
    const QCommandLineOption dir({QStringLiteral("d"), QStringLiteral("dir")}, QString(), QStringLiteral("DIR"));
    const QCommandLineOption name(QStringLiteral("name"), QString(), QStringLiteral("PATTERN"));
    const QCommandLineOption minSilence(QStringLiteral("min-silence"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption threshold(QStringLiteral("threshold"), QString(), QStringLiteral("DB"));
    const QCommandLineOption exact(QStringLiteral("exact"), QString());
    const QCommandLineOption keepTags(QStringLiteral("keep-tags"), QString());
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const QCommandLineOption overwrite(QStringLiteral("overwrite"), QString());
    const QCommandLineOption sync(QStringLiteral("sync"), QString());
    parser.addOptions({every, cue, ranges, silences, chapters, dir, name, minSilence, threshold, exact, keepTags, dryRun,
                       json, overwrite, sync});
    const LevelOptions levelOptions;
    levelOptions.addTo(parser);
    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    const QStringList seen = parser.optionNames();
    QStringList modes;
    for (const QString &mode : ModeOptions) {
        if (seen.contains(mode))
            modes << QStringLiteral("--") + mode;
    }
    if (modes.size() != 1 || seen.count(modes.first().mid(2)) != 1)
        return usageError(tr("one of --every, --cue, --ranges, --silences or --split-chapters, once"));
    // A second --dir or --name is more likely a slip than a correction.
    QVector<const QCommandLineOption *> onceOnly {&dir, &name, &minSilence, &threshold};
    onceOnly += levelOptions.once();
    for (const QCommandLineOption *once : qAsConst(onceOnly)) {
        int count = 0;
        for (const QString &spelling : once->names())
            count += seen.count(spelling);
        if (count > 1)
            return usageError(tr("--%1 given more than once").arg(once->names().constLast()));
    }
    const QStringList inputs = parser.positionalArguments();
    if (inputs.size() != 1)
        return usageError(inputs.isEmpty() ? tr("no input file") : tr("one input file only, got %1").arg(inputs.size()));
    if (!parser.isSet(dir) || parser.value(dir).isEmpty())
        return usageError(tr("--dir is missing: the folder the pieces go to"));
    const bool silent = parser.isSet(silences);
    const bool valueless = silent || parser.isSet(chapters);
    if (!silent && (parser.isSet(minSilence) || parser.isSet(threshold)))
        return usageError(tr("--min-silence and --threshold go with --silences"));

    job->input = inputs.constFirst();
    job->folder = parser.value(dir);
    job->dryRun = parser.isSet(dryRun);
    job->json = parser.isSet(json);
    job->overwrite = parser.isSet(overwrite);
    job->sync = parser.isSet(sync);
    job->exact = parser.isSet(exact);
    job->keepTags = parser.isSet(keepTags);
    if (const QString bad = levelOptions.read(parser, &job->level); !bad.isEmpty())
        return usageError(bad);
    job->pattern = parser.value(name);
    QString why;
    if (parser.isSet(name) && !NamePattern(job->pattern).isValid(&why))
        return usageError(why);
    why = readSilenceSettings(parser.isSet(minSilence) ? parser.value(minSilence) : QString(),
                              parser.isSet(threshold) ? parser.value(threshold) : QString(), &job->silence);
    if (!why.isEmpty())
        return usageError(why);

    const QString mode = modes.first().mid(2);
    const QString value = valueless ? QString() : parser.value(mode);
    return readPieces(mode, value, job);
}

bool BatchTool::readText(const QString &path, QByteArray *bytes)
{
    QFile file;
    bool open = false;
    if (path == QLatin1String("-"))
        open = m_stdin ? m_stdin->isOpen() || m_stdin->open(QIODevice::ReadOnly)
                       : file.open(stdin, QIODevice::ReadOnly);
    else
        open = (file.setFileName(path), file.open(QIODevice::ReadOnly));
    if (!open) {
        failure(path + QStringLiteral(": ") + file.errorString());
        return false;
    }
    QString why;
    if (!SheetText::read((path == QLatin1String("-") && m_stdin) ? *m_stdin : file, bytes, &why)) {
        failure(path + QStringLiteral(": ") + why);
        return false;
    }
    return true;
}

int BatchTool::readPieces(const QString &mode, const QString &value, Job *job)
{
    QString why;
    if (mode == QLatin1String("every")) {
        job->mode = Every;
        if (!TimeParser::parse(value, &job->stepMs, &why) || job->stepMs <= 0)
            return usageError(tr("bad --every '%1': %2").arg(value, why.isEmpty() ? tr("must be more than 0") : why));
        return -1;
    }
    if (mode == QLatin1String("silences")) {
        job->mode = Silences;
        return -1;
    }
    if (mode == QLatin1String("split-chapters")) {
        job->mode = Chapters;
        return -1;
    }
    QByteArray text;
    if (!readText(value, &text))
        return 1;
    if (mode == QLatin1String("cue")) {
        job->mode = Cue;
        CueSheet sheet;
        if (!CueSheet::parse(text, job->input, &sheet, &why))
            return failure(value + QStringLiteral(": ") + why);
        if (const int refused = refuseTooMany(value, sheet.tracks.size()); refused >= 0)
            return refused;
        job->pieces = PieceList::fromCue(sheet);
    } else {
        job->mode = Ranges;
        QVector<RangeList::Range> ranges;
        if (!RangeList::parse(text, &ranges, &why))
            return failure(value + QStringLiteral(": ") + why);
        if (const int refused = refuseTooMany(value, ranges.size()); refused >= 0)
            return refused;
        job->pieces = PieceList::fromRanges(ranges);
    }
    job->titled = std::any_of(job->pieces.cbegin(), job->pieces.cend(), [](const Piece &p) { return !p.title.isEmpty(); });
    job->performers = std::all_of(job->pieces.cbegin(), job->pieces.cend(), [](const Piece &p) { return !p.performer.isEmpty(); });
    return -1;
}

int BatchTool::findPieces(QFile &source, SourceScan &scan, SilenceFinder *finder, Job *job)
{
    Q_UNUSED(source)
    if (job->mode == Every) {
        // Counted before the pieces are made: a tiny step makes millions.
        const qint64 lengthMs = scan.msOf(scan.frames);
        if (const int refused = refuseTooMany(job->input, lengthMs / job->stepMs + 1); refused >= 0)
            return refused;
        job->pieces = PieceList::every(lengthMs, job->stepMs);
    } else if (job->mode == Silences) {
        QVector<SilenceFinder::Split> splits;
        QString why;
        if (!finder->find(scan, &splits, &why))
            return failure(job->input + QStringLiteral(": ") + why);
        QVector<qint64> splitMs;
        for (const SilenceFinder::Split &split : splits)
            splitMs << scan.msOf(split.frame);
        if (const int refused = refuseTooMany(job->input, splitMs.size() + 1); refused >= 0)
            return refused;
        job->pieces = PieceList::between(splitMs);
    } else if (job->mode == Chapters) {
        return chapterPieces(scan, job);
    }
    return -1;
}

// One piece per chapter, from its start to the next one's: the pieces hold
// the whole source once whatever gaps or overlaps the chapters have, and each
// change to a chapter is said.
int BatchTool::chapterPieces(const SourceScan &scan, Job *job)
{
    const qint64 lengthMs = scan.durationMs();
    const ChapterReading reading = ChapterReader::read(job->input, lengthMs);
    for (const ChapterNote &note : reading.notes)
        m_err << Program << ": " << note.id << ": \"" << note.title << "\" " << note.why() << '\n';
    m_err.flush();
    const QVector<Chapter> &chapters = reading.chapters;
    if (chapters.isEmpty())
        return failure(tr("%1: no chapters to split by").arg(job->input));
    if (const int refused = refuseTooMany(job->input, chapters.size()); refused >= 0)
        return refused;
    // Rounding that no one hears is not worth a word.
    const qint64 frameMs = scan.rate() > 0 ? scan.samplesPerFrame() * 1000 / scan.rate() : 0;
    if (chapters.first().startMs > frameMs)
        say(tr("\"%1\" starts at %2: its piece starts at the beginning, so that nothing before it is lost")
                .arg(chapters.first().title, NamePattern::timeText(chapters.first().startMs)));
    QVector<qint64> splitMs;
    QStringList titles{chapters.first().title};
    for (int i = 1; i < chapters.size(); ++i) {
        // Exact pieces start where their chapters do; whole-frame pieces on
        // the frame boundary nearest, the same for the piece before, so that
        // pieces with header frames of their own share no frame.
        const qint64 start = chapters.at(i).startMs;
        const qint64 at = job->exact ? start : scan.msOf(scan.frameAt(start));
        if (at <= (splitMs.isEmpty() ? 0 : splitMs.last())) {
            say(tr("\"%1\" starts in the frame where \"%2\" does: its audio goes to that piece")
                    .arg(chapters.at(i).title, titles.last()));
            continue;
        }
        if (chapters.at(i - 1).endMs + frameMs < chapters.at(i).startMs)
            say(tr("\"%1\" ends at %2: its piece runs on to %3, where the next chapter starts")
                    .arg(chapters.at(i - 1).title, NamePattern::timeText(chapters.at(i - 1).endMs),
                         NamePattern::timeText(chapters.at(i).startMs)));
        splitMs.append(at);
        titles.append(chapters.at(i).title);
    }
    if (chapters.last().endMs + frameMs < lengthMs)
        say(tr("\"%1\" ends at %2: its piece runs on to the end").arg(chapters.last().title,
                                                                     NamePattern::timeText(chapters.last().endMs)));
    job->pieces = PieceList::between(splitMs);
    for (int i = 0; i < job->pieces.size(); ++i) {
        job->pieces[i].title = titles.at(i);
        job->pieces[i].track = i + 1;
        job->pieces[i].origin = tr("chapter %1").arg(i + 1);
    }
    job->titled = true;
    return -1;
}

void BatchTool::say(const QString &what)
{
    m_err << Program << ": " << what << '\n';
    m_err.flush();
}

void BatchTool::name(const SourceScan &scan, Job *job) const
{
    QString pattern = job->pattern;
    if (pattern.isEmpty()) {
        if (job->mode == Cue || job->mode == Chapters)
            pattern = job->performers ? QStringLiteral("{n} {performer} - {title}.mp3") : QStringLiteral("{n} {title}.mp3");
        else if (job->titled)
            pattern = QStringLiteral("{title}.mp3");
        else
            pattern = NamePattern::defaultPattern();
    }
    const NamePattern names(pattern);
    const QString stem = QFileInfo(job->input).completeBaseName();
    const qint64 lengthMs = scan.msOf(scan.frames);
    for (int i = 0; i < job->pieces.size(); ++i) {
        Piece &piece = job->pieces[i];
        const bool toTheEnd = piece.endMs == Piece::ToTheEnd;
        piece.fileName = names.fileName(piece, i + 1, job->pieces.size(), stem, toTheEnd ? lengthMs : piece.endMs);
    }
}

// Once the pieces are planned: the source's tags, read once, with what the
// sheet says of each track in them, and the source's chapters that each piece
// plays, where it plays them.
void BatchTool::addTags(Job *job) const
{
    const TagCopier copier(job->input);
    const CutTags shared = copier.forPiece();
    for (int i = 0; i < job->pieces.size(); ++i) {
        Piece &piece = job->pieces[i];
        CutPlan &plan = job->plans[i];
        TagOverrides overrides;
        overrides.title = piece.title;
        overrides.artist = piece.performer;
        overrides.track = piece.track;
        QVector<Chapter> chapters;
        if (plan.error == CutResult::Ok && !copier.chapters().isEmpty())
            chapters = ChapterMap::through({copier.chapters()}, {{0, piece.heardStartMs, piece.heardEndMs}},
                                           plan.halfFrameMs());
        // A piece at another level says so in its replay gain frames.
        const ReplayGainTags gain = LevelStep::replayGainTags(plan, job->level);
        if (overrides.isEmpty() && chapters.isEmpty() && gain.isEmpty()) {
            plan.tagFront = shared.id3v2;
            plan.tagBack = shared.id3v1;
            piece.bytes = plan.outputBytes();
        } else {
            const PreparedTags own = copier.prepare(overrides, chapters, gain);
            piece.bytes = plan.outputBytes() + own.size();
            job->ownTags.insert(i, own);
        }
    }
}

// Every piece is planned by the cutter's planner from the one scan, exactly
// as a single cut of its range: whole frames as they are (with a header frame
// of their own where their bitrates differ), or exact pieces with the bit
// reservoir rebuilt. Each plan walks only its own frames.
int BatchTool::planPieces(SourceFile &source, const SourceScan &scan, Job *job) const
{
    job->plans.clear();
    for (Piece &piece : job->pieces) {
        CutRequest request;
        request.startMs = piece.startMs;
        request.endMs = piece.endMs == Piece::ToTheEnd ? EditSpan::ToTheEnd : piece.endMs;
        request.mode = job->exact ? CutRequest::Exact : CutRequest::WholeFrames;
        CutPlan plan = CutPlanner::plan(&source.file(), scan, request);
        piece.startFrame = scan.frameAt(piece.startMs);
        piece.endFrame = piece.endMs == Piece::ToTheEnd ? scan.frames : qMin(scan.frameAt(piece.endMs), scan.frames);
        if (plan.error == CutResult::StartBeyondEnd) {
            // the check before writing names these
            piece.startFrame = scan.frames;
            piece.endFrame = qMax(piece.endFrame, piece.startFrame);
        } else if (plan.error == CutResult::NothingToCut) {
            piece.endFrame = piece.startFrame;
        } else if (plan.error != CutResult::Ok) {
            m_err << Program << ": " << piece.origin << ": " << Mp3Splitter::errorMessage(plan.error) << '\n';
            m_err.flush();
            return 1;
        } else {
            LevelStep::apply(plan, job->level, {job->input});
            if (plan.error != CutResult::Ok) {
                m_err << Program << ": " << piece.origin << ": " << EditTool::levelFailure(plan.error, plan.reason) << '\n';
                m_err.flush();
                return 1;
            }
            piece.startFrame = plan.firstFrame;
            piece.endFrame = plan.endFrame;
            piece.heardStartMs = plan.heardStartMs();
            piece.heardEndMs = plan.heardEndMs();
        }
        piece.bytes = plan.outputBytes();
        job->plans.append(plan);
    }
    return -1;
}
