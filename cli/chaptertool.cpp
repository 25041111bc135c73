#include "chaptertool.h"

#include "batchtool.h"
#include "cuesheet.h"
#include "edit/editjob.h"
#include "edit/timeparser.h"
#include "io/sourcefile.h"
#include "mp3splitter.h"
#include "optionnames.h"
#include "rangelist.h"
#include "scan/sourcescan.h"
#include "sheettext.h"
#include "tags/chaptermap.h"
#include "tags/chapterreader.h"
#include "tags/tagcopier.h"

#include <QCommandLineParser>
#include <QFile>
#include <QTextStream>

#include <memory>

namespace {

const QString Program = QStringLiteral("snipwave-cut");
// The options that say where the chapters come from, in the order of ChapterTool::Source.
const QStringList SourceOptions = {QStringLiteral("chapters-from"), QStringLiteral("chapters-every"),
                                   QStringLiteral("chapters-at-silences")};

} // namespace

ChapterTool::ChapterTool(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{
}

bool ChapterTool::handles(const QStringList &arguments)
{
    return givesOption(arguments, SourceOptions);
}

QString ChapterTool::helpText()
{
    return tr("Chapters, the audio written unchanged with the input's other tags:\n"
              "  snipwave-cut INPUT --chapters-from FILE -o OUTPUT   from a CUE sheet (.cue)\n"
              "                                                      or a range list\n"
              "  snipwave-cut INPUT --chapters-every TIME -o OUTPUT  one every TIME\n"
              "  snipwave-cut INPUT --chapters-at-silences -o OUTPUT one from the middle of\n"
              "                                     each silence; --min-silence, --threshold\n");
}

int ChapterTool::usageError(const QString &why)
{
    m_err << Program << ": " << why << '\n' << BatchTool::tr("Try 'snipwave-cut --help' for more information.\n");
    m_err.flush();
    return 2;
}

int ChapterTool::failed(const QString &why)
{
    m_err << Program << ": " << why << '\n';
    m_err.flush();
    return 1;
}

int ChapterTool::failed(const CutResult &result)
{
    const QString reason = result.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(result.reason);
    return failed(Mp3Splitter::errorMessage(result.code) + reason);
}

int ChapterTool::parse(const QStringList &arguments, Command *command)
{
    QCommandLineParser parser;
    const QCommandLineOption from(SourceOptions.at(From), QString(), QStringLiteral("FILE"));
    const QCommandLineOption every(SourceOptions.at(Every), QString(), QStringLiteral("TIME"));
    const QCommandLineOption silences(SourceOptions.at(AtSilences), QString());
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("OUTPUT"));
    const QCommandLineOption minSilence(QStringLiteral("min-silence"), QString(), QStringLiteral("TIME"));
    const QCommandLineOption threshold(QStringLiteral("threshold"), QString(), QStringLiteral("DB"));
    // The input's other tags are always kept: --keep-tags only says so.
    const QCommandLineOption keepTags(QStringLiteral("keep-tags"), QString());
    const QCommandLineOption sync(QStringLiteral("sync"), QString());
    parser.addOptions({from, every, silences, output, minSilence, threshold, keepTags, sync});
    if (!parser.parse(arguments))
        return usageError(parser.errorText());

    const QStringList seen = parser.optionNames();
    int sources = 0;
    for (int i = 0; i < SourceOptions.size(); ++i) {
        if (seen.contains(SourceOptions.at(i))) {
            command->source = Source(i);
            sources += seen.count(SourceOptions.at(i));
        }
    }
    if (sources != 1)
        return usageError(tr("one of --chapters-from, --chapters-every or --chapters-at-silences, once"));
    for (const QCommandLineOption *once : {&output, &minSilence, &threshold}) {
        int count = 0;
        for (const QString &spelling : once->names())
            count += seen.count(spelling);
        if (count > 1)
            return usageError(BatchTool::tr("--%1 given more than once").arg(once->names().constLast()));
    }
    const QStringList inputs = parser.positionalArguments();
    if (inputs.size() != 1)
        return usageError(inputs.isEmpty() ? BatchTool::tr("no input file")
                                           : BatchTool::tr("one input file only, got %1").arg(inputs.size()));
    if (parser.value(output).isEmpty())
        return usageError(tr("--output is missing"));
    if (command->source != AtSilences && (parser.isSet(minSilence) || parser.isSet(threshold)))
        return usageError(tr("--min-silence and --threshold go with --chapters-at-silences"));
    command->input = inputs.constFirst();
    command->output = parser.value(output);
    command->from = parser.value(from);
    command->sync = parser.isSet(sync);
    QString why;
    if (command->source == Every && (!TimeParser::parse(parser.value(every), &command->everyMs, &why) || command->everyMs <= 0))
        return usageError(tr("bad --chapters-every '%1': %2")
                              .arg(parser.value(every), why.isEmpty() ? BatchTool::tr("must be more than 0") : why));
    why = BatchTool::readSilenceSettings(parser.isSet(minSilence) ? parser.value(minSilence) : QString(),
                                         parser.isSet(threshold) ? parser.value(threshold) : QString(),
                                         &command->silence);
    return why.isEmpty() ? -1 : usageError(why);
}

QVector<Chapter> ChapterTool::fromPieces(const QVector<Piece> &pieces, qint64 durationMs)
{
    QVector<Chapter> chapters;
    for (int i = 0; i < pieces.size(); ++i) {
        const Piece &piece = pieces.at(i);
        const QString title = piece.title.isEmpty() ? tr("Chapter %1").arg(i + 1) : piece.title;
        chapters.append({title, piece.startMs, piece.endMs == Piece::ToTheEnd ? durationMs : piece.endMs});
    }
    return chapters;
}

bool ChapterTool::readList(const Command &command, QVector<Piece> *pieces)
{
    QFile file(command.from);
    QByteArray text;
    QString why;
    if (!file.open(QIODevice::ReadOnly) || !SheetText::read(file, &text, &why)) {
        failed(command.from + QStringLiteral(": ") + (why.isEmpty() ? file.errorString() : why));
        return false;
    }
    if (command.from.endsWith(QLatin1String(".cue"), Qt::CaseInsensitive)) {
        CueSheet sheet;
        if (CueSheet::parse(text, command.input, &sheet, &why))
            *pieces = PieceList::fromCue(sheet);
    } else {
        QVector<RangeList::Range> ranges;
        if (RangeList::parse(text, &ranges, &why))
            *pieces = PieceList::fromRanges(ranges);
    }
    if (pieces->size() > MaxChapters)
        why = tr("more than %1 chapters").arg(MaxChapters);
    if (!why.isEmpty()) {
        failed(command.from + QStringLiteral(": ") + why);
        return false;
    }
    return true;
}

bool ChapterTool::readPieces(const Command &command, const SourceScan &scan, SilenceFinder *finder,
                             QVector<Piece> *pieces)
{
    const qint64 durationMs = scan.durationMs();
    if (command.source == From)
        return readList(command, pieces);
    if (command.source == Every) {
        if (durationMs / command.everyMs >= MaxChapters) {
            failed(tr("--chapters-every %1 ms would make more than %2 chapters").arg(command.everyMs).arg(MaxChapters));
            return false;
        }
        for (qint64 at = 0; at < durationMs; at += command.everyMs) {
            Piece piece;
            piece.startMs = at;
            piece.endMs = qMin(at + command.everyMs, durationMs);
            pieces->append(piece);
        }
        return true;
    }
    // A chapter from the middle of each silence, the first from the start.
    QVector<SilenceFinder::Split> splits;
    QString why;
    if (!finder->find(scan, &splits, &why)) {
        failed(command.input + QStringLiteral(": ") + why);
        return false;
    }
    if (splits.size() >= MaxChapters) {
        failed(tr("%1: %2 silences, more than %3 chapters").arg(command.input).arg(splits.size()).arg(MaxChapters));
        return false;
    }
    if (splits.isEmpty()) {
        m_err << Program << ": " << tr("%1: no silence found, so one chapter").arg(command.input) << '\n';
        m_err.flush();
    }
    QVector<qint64> splitMs;
    for (const SilenceFinder::Split &split : qAsConst(splits))
        splitMs.append(scan.msOf(split.frame));
    *pieces = PieceList::between(splitMs);
    return true;
}

QVector<Chapter> ChapterTool::timeline(const QVector<Piece> &pieces, qint64 durationMs)
{
    QStringList ids;
    for (int i = 0; i < pieces.size(); ++i)
        ids.append(pieces.at(i).origin.isEmpty() ? tr("chapter %1").arg(i + 1) : pieces.at(i).origin);
    QVector<ChapterNote> notes;
    const QVector<Chapter> chapters = ChapterReader::timeline(fromPieces(pieces, durationMs), ids, durationMs, &notes);
    for (const ChapterNote &note : qAsConst(notes))
        m_err << Program << ": " << note.id << ": \"" << note.title << "\" " << note.why() << '\n';
    m_err.flush();
    return chapters;
}

int ChapterTool::run(const QStringList &arguments)
{
    Command command;
    const int parsed = parse(arguments, &command);
    return parsed >= 0 ? parsed : run(command);
}

int ChapterTool::run(const Command &command)
{
    // The silence finder sees the frames as the job's scan walks them, and
    // decodes the quiet stretches through a descriptor of its own.
    SourceFile silenceSource;
    std::unique_ptr<SilenceFinder> finder;
    if (command.source == AtSilences) {
        if (!silenceSource.open(command.input))
            return failed(command.input + QStringLiteral(": ") + silenceSource.errorString());
        finder = std::make_unique<SilenceFinder>(silenceSource.file(), command.silence);
    }
    EditJob job;
    const CutResult opened = job.open({command.input}, command.output,
                                      finder ? finder->visitor() : SourceScan::Visitor());
    if (!opened.ok())
        return failed(opened);
    const SourceScan &scan = job.scan(0);
    QVector<Piece> pieces;
    if (!readPieces(command, scan, finder.get(), &pieces))
        return 1;
    const QVector<Chapter> chapters = timeline(pieces, scan.durationMs());

    // The whole file as it plays, exact: every audio frame as it is, under a
    // header frame that keeps the source's delay and padding, so that the
    // output plays what the source does, and the chapters where they were put.
    EditRequest request;
    request.spans = {{0, 0, EditSpan::ToTheEnd}};
    request.mode = CutRequest::Exact;
    CutPlan plan = job.plan(request);
    if (plan.error != CutResult::Ok)
        return failed(CutResult::failure(plan.error));
    const CutTags tags = TagCopier(command.input)
                             .forPiece({}, ChapterMap::through({chapters}, {{0, plan.heardStartMs(), plan.heardEndMs()}}));
    plan.tagFront = tags.id3v2;
    plan.tagBack = tags.id3v1;
    EditJob::Options options;
    options.sync = command.sync;
    const CutResult written = job.write(plan, command.output, options);
    return written.ok() ? 0 : failed(written);
}
