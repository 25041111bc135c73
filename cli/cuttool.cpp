#include "cuttool.h"

#include "leveloptions.h"

#include "batchtool.h"
#include "chaptertool.h"
#include "edit/cutjob.h"
#include "edittool.h"
#include "jsonstring.h"
#include "leveloptions.h"
#include "analysis/loudnessenvelope.h"
#include "io/sourcefile.h"
#include "scan/mp3fileinfo.h"
#include "mp3splitter.h"
#include "edit/timeparser.h"

#include <QCommandLineParser>
#include <QFile>
#include <QTextStream>

#ifndef SNIPWAVE_VERSION
#define SNIPWAVE_VERSION "unknown"
#endif

namespace {

const QString Program = QStringLiteral("snipwave-cut");
constexpr int DefaultEnvelopeColumns = 200;
constexpr int MaxEnvelopeColumns = 100000;
// Beyond this every granule's global_gain would sit at 0 or 255.
} // namespace

CutTool::CutTool(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{
}

QString CutTool::usage()
{
    return QStringLiteral("Usage: snipwave-cut INPUT --start TIME --end TIME --output OUTPUT [LEVEL]\n"
                          "       snipwave-cut INPUT --remove START-END [--remove ...] --output OUTPUT\n"
                          "       snipwave-cut INPUT --keep START-END [--keep ...] --output OUTPUT\n"
                          "       snipwave-cut --join A B [C ...] --output OUTPUT\n"
                          "       snipwave-cut INPUT --output OUTPUT LEVEL\n"
                          "       snipwave-cut --info INPUT\n"
                          "       snipwave-cut --envelope INPUT [--columns N]\n"
                          "Try 'snipwave-cut --help' for more information.\n");
}

QString CutTool::helpText()
{
    return QStringLiteral(
        "Usage: snipwave-cut INPUT --start TIME --end TIME --output OUTPUT [LEVEL]\n"
        "       snipwave-cut INPUT --remove START-END [--remove ...] --output OUTPUT\n"
        "       snipwave-cut INPUT --keep START-END [--keep ...] --output OUTPUT\n"
        "       snipwave-cut --join A B [C ...] --output OUTPUT\n"
        "       snipwave-cut INPUT --output OUTPUT LEVEL\n"
        "       snipwave-cut --info INPUT\n"
        "       snipwave-cut --envelope INPUT [--columns N]\n"
        "\n"
        "Copies the MPEG audio frames between two times of an MP3 file into a new\n"
        "file, byte for byte, without decoding. Times are positions as a player plays\n"
        "the file (the encoder's delay and padding trimmed). The output is written to\n"
        "a temporary file beside it and renamed into place when complete; it is never\n"
        "the input itself.\n"
        "\n"
        "Options:\n"
        "  -s, --start TIME     start of the piece\n"
        "  -e, --end TIME       end of the piece (not before the start)\n"
        "  -o, --output OUTPUT  file to write; replaced if it exists, never the input\n"
        "      --exact          cut in the exact mode (see Modes)\n"
        "      --keep-tags      copy the input's ID3v2 and ID3v1 tags to the output\n"
        "      --sync           flush the output to the disk before it takes its name\n"
        "      --remove START-END  leave the range out (repeatable)\n"
        "      --keep START-END    keep the range; ranges follow in the order given\n"
        "                          (repeatable)\n"
        "      --join           the input files one after the other, as heard\n"
        "      --dry-run --json print the plan as JSON (spans, where each seam lands as\n"
        "                       heard) and write nothing\n"
        "  -i, --info           print the file's first frame format, frame count and\n"
        "                       duration as one JSON object\n"
        "      --envelope       print the loudness over time as one JSON array of N\n"
        "                       numbers from 0 (silence, 60 dB below full scale or\n"
        "                       quieter) to 1 (full scale), from the decoded audio\n"
        "      --columns N      the envelope's number of values, 1 to 100000\n"
        "                       (default 200)\n"
        "\n"
        "LEVEL, with a cut, --remove, --keep, --join or a whole file (Layer III only,\n"
        "without decoding; see Level):\n"
        "      --gain DB        louder or quieter by DB, to the nearest 1.5 dB step\n"
        "      --normalize      bring the loudness to -18 LUFS (ReplayGain 2) as near as\n"
        "                       1.5 dB steps allow without clipping, and record the\n"
        "                       track gain and peak left (LAME header; with --keep-tags\n"
        "                       also REPLAYGAIN_TRACK_GAIN and _PEAK)\n"
        "      --fade-in TIME   rise from silence over the first TIME of the output\n"
        "      --fade-out TIME  fall to silence over the last TIME of the output\n"
        "\n"
        "  -h, --help           show this help and exit\n"
        "  -v, --version        show the version and exit\n"
        "\n")
        + BatchTool::helpText() + QStringLiteral("\n") + ChapterTool::helpText() + QStringLiteral(
        "\n"
        "Modes:\n"
        "  whole frames         the default: each end within half a frame of its mark\n"
        "  --exact              exact to the sample in gapless players, losslessly\n"
        "A seam inside the output (--remove, --keep, --join) is always a whole-frame\n"
        "seam, within half a frame of its marks: the frames after it keep the source's\n"
        "grid of samples. --exact applies to the outer ends. No frame loses the data it\n"
        "borrows from the frames before a seam.\n"
        "\n"
        "Examples:\n"
        "  snipwave-cut show.mp3 --remove 12:03-13:35 --remove 41:10-41:11 -o clean.mp3\n"
        "  snipwave-cut song.mp3 --keep 1:02-1:30 --keep 0-0:15 -o medley.mp3\n"
        "  snipwave-cut --join part1.mp3 part2.mp3 -o whole.mp3\n"
        "  snipwave-cut song.mp3 --keep 1:02-1:30 --dry-run --json\n"
        "  snipwave-cut talk.mp3 -o quieter.mp3 --gain -6\n"
        "  snipwave-cut talk.mp3 -o level.mp3 --normalize --keep-tags\n"
        "  snipwave-cut song.mp3 -s 1:00 -e 1:30 -o ring.mp3 --fade-in 2 --fade-out 3\n"
        "  snipwave-cut show.mp3 --remove 10:00-12:30 -o clean.mp3 --fade-out 5\n"
        "\n"
        "TIME, exact to the millisecond:\n"
        "  83.456               seconds, up to three fraction digits\n"
        "  1:23.456             minutes and seconds\n"
        "  0:01:23.456          hours, minutes and seconds\n"
        "  00:01:23\"456         the form the Snipwave window shows\n"
        "Fields after a ':' are two digits below 60.\n"
        "\n"
        "Level:\n"
        "  Every granule of Layer III audio carries its own scale, global_gain; one\n"
        "  step of it is 1.5 dB. Changing it changes the level losslessly: --gain 3\n"
        "  and then --gain -3 give back the source's audio frames. The whole file is\n"
        "  taken when no --start and --end are given. Fades follow a straight line\n"
        "  in amplitude, a step at a time, at the output's outer ends (never at a\n"
        "  seam). --normalize and a --gain that makes the audio louder decode it\n"
        "  once to find its loudness and peak. A warning says by how much the\n"
        "  decoded peak would pass full scale, and how many granules could not move\n"
        "  as far as asked (global_gain stops at 0 and 255).\n"
        "\n"
        "Exit status: 0 done, 1 the cut or the query failed, 2 wrong command line.\n");
}

QString CutTool::versionText()
{
    return Program + QLatin1Char(' ') + QStringLiteral(SNIPWAVE_VERSION) + QLatin1Char('\n');
}

int CutTool::usageError(const QString &why)
{
    m_err << Program << ": " << why << '\n' << usage();
    m_err.flush();
    return UsageError;
}

int CutTool::run(const QStringList &arguments)
{
    // Many pieces in one run: a mode of its own.
    if (BatchTool::handles(arguments))
        return BatchTool(m_out, m_err).run(arguments);
    // The audio as it is, with chapters: another mode of its own.
    if (ChapterTool::handles(arguments))
        return ChapterTool(m_out, m_err).run(arguments);

    QCommandLineParser parser;
    const QCommandLineOption start({QStringLiteral("s"), QStringLiteral("start")}, QString(), QStringLiteral("TIME"));
    const QCommandLineOption end({QStringLiteral("e"), QStringLiteral("end")}, QString(), QStringLiteral("TIME"));
    const QCommandLineOption output({QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("OUTPUT"));
    const QCommandLineOption infoOption({QStringLiteral("i"), QStringLiteral("info")}, QString());
    const QCommandLineOption sync(QStringLiteral("sync"), QString());
    const QCommandLineOption exact(QStringLiteral("exact"), QString());
    const QCommandLineOption keepTags(QStringLiteral("keep-tags"), QString());
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QString());
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")}, QString());
    const QCommandLineOption envelopeOption(QStringLiteral("envelope"), QString());
    const QCommandLineOption columns(QStringLiteral("columns"), QString(), QStringLiteral("N"));
    const QCommandLineOption remove(QStringLiteral("remove"), QString(), QStringLiteral("START-END"));
    const QCommandLineOption keep(QStringLiteral("keep"), QString(), QStringLiteral("START-END"));
    const QCommandLineOption join(QStringLiteral("join"), QString());
    const QCommandLineOption dryRun(QStringLiteral("dry-run"), QString());
    const QCommandLineOption json(QStringLiteral("json"), QString());
    const LevelOptions levelOptions;
    parser.addOptions({start, end, output, infoOption, sync, exact, keepTags, help, version, envelopeOption, columns,
                       remove, keep, join, dryRun, json});
    levelOptions.addTo(parser);

    if (!parser.parse(arguments))
        return usageError(parser.errorText());
    if (parser.isSet(help)) {
        m_out << helpText();
        m_out.flush();
        return Success;
    }
    if (parser.isSet(version)) {
        m_out << versionText();
        m_out.flush();
        return Success;
    }

    // A second --start or --output is more likely a slip than a correction.
    const QStringList seen = parser.optionNames();
    QVector<const QCommandLineOption *> onceOnly {&start, &end, &output, &infoOption, &envelopeOption, &columns};
    onceOnly += levelOptions.once();
    for (const QCommandLineOption *once : qAsConst(onceOnly)) {
        int count = 0;
        for (const QString &name : once->names())
            count += seen.count(name);
        if (count > 1)
            return usageError(QStringLiteral("--%1 given more than once").arg(once->names().constLast()));
    }

    QString why;
    LevelRequest level;
    why = levelOptions.read(parser, &level);
    if (!why.isEmpty())
        return usageError(why);
    const bool levelAsked = levelOptions.isSet(parser);
    const QStringList inputs = parser.positionalArguments();
    const bool editing = parser.isSet(remove) || parser.isSet(keep) || parser.isSet(join);
    if (editing || parser.isSet(dryRun) || parser.isSet(json)) {
        for (const QCommandLineOption *other : {&infoOption, &envelopeOption})
            if (parser.isSet(*other))
                return usageError(QStringLiteral("--%1 takes no edit").arg(other->names().constLast()));
    }
    if (editing) {
        EditTool::Command command;
        int kinds = 0;
        for (const auto &kind : {qMakePair(&remove, EditTool::Command::Remove), qMakePair(&keep, EditTool::Command::Keep),
                                 qMakePair(&join, EditTool::Command::Join)}) {
            if (parser.isSet(*kind.first)) {
                command.kind = kind.second;
                ++kinds;
            }
        }
        if (kinds > 1)
            return usageError(QStringLiteral("one of --remove, --keep or --join"));
        if (parser.isSet(start) || parser.isSet(end))
            return usageError(QStringLiteral("--start and --end go with a single cut, not with --remove, --keep or --join"));
        if (command.kind == EditTool::Command::Join ? inputs.size() < 2 : inputs.size() != 1)
            return usageError(command.kind == EditTool::Command::Join ? QStringLiteral("--join takes two input files or more")
                                                                      : QStringLiteral("one input file only"));
        const QCommandLineOption &rangeOption = command.kind == EditTool::Command::Remove ? remove : keep;
        for (const QString &text : command.kind == EditTool::Command::Join ? QStringList() : parser.values(rangeOption)) {
            QPair<qint64, qint64> range;
            QString why;
            if (!EditTool::parseRange(text, &range, &why))
                return usageError(QStringLiteral("bad --%1 '%2': %3").arg(rangeOption.names().constLast(), text, why));
            command.ranges.append(range);
        }
        command.inputs = inputs;
        command.level = level;
        return edit(command, parser.isSet(dryRun), parser.isSet(json), parser.value(output),
                    parser.isSet(exact), parser.isSet(keepTags), parser.isSet(sync));
    }
    if (parser.isSet(json) && !parser.isSet(dryRun))
        return usageError(QStringLiteral("--json goes with --dry-run"));
    if (inputs.isEmpty())
        return usageError(QStringLiteral("no input file"));
    if (inputs.size() > 1)
        return usageError(QStringLiteral("one input file only, got %1").arg(inputs.size()));
    const QString input = inputs.constFirst();

    if (parser.isSet(envelopeOption)) {
        QVector<const QCommandLineOption *> others {&start, &end, &output, &sync, &exact, &keepTags, &infoOption};
        others += levelOptions.all();
        for (const QCommandLineOption *other : qAsConst(others)) {
            if (parser.isSet(*other))
                return usageError(QStringLiteral("--envelope takes no --%1").arg(other->names().constLast()));
        }
        int count = DefaultEnvelopeColumns;
        if (parser.isSet(columns)) {
            bool ok = false;
            count = parser.value(columns).toInt(&ok);
            if (!ok || count < 1 || count > MaxEnvelopeColumns)
                return usageError(QStringLiteral("bad --columns '%1': a whole number from 1 to %2")
                                      .arg(parser.value(columns))
                                      .arg(MaxEnvelopeColumns));
        }
        return envelope(input, count);
    }
    if (parser.isSet(columns))
        return usageError(QStringLiteral("--columns goes with --envelope"));

    if (parser.isSet(infoOption)) {
        QVector<const QCommandLineOption *> cutOnlyOptions {&start, &end, &output, &sync, &exact, &keepTags};
        cutOnlyOptions += levelOptions.all();
        for (const QCommandLineOption *cutOnly : qAsConst(cutOnlyOptions)) {
            if (parser.isSet(*cutOnly))
                return usageError(QStringLiteral("--info takes no --%1").arg(cutOnly->names().constLast()));
        }
        return info(input);
    }

    // The whole file, at another level.
    const bool wholeFile = levelAsked && !parser.isSet(start) && !parser.isSet(end);
    for (const QCommandLineOption *needed : {&start, &end, &output}) {
        if (!parser.isSet(*needed) && !(wholeFile && needed != &output)
            && !(needed == &output && parser.isSet(dryRun)))
            return usageError(QStringLiteral("--%1 is missing").arg(needed->names().constLast()));
    }
    qint64 startMs = 0;
    qint64 endMs = 0;
    if (!wholeFile && !TimeParser::parse(parser.value(start), &startMs, &why))
        return usageError(QStringLiteral("bad --start '%1': %2").arg(parser.value(start), why));
    if (!wholeFile && !TimeParser::parse(parser.value(end), &endMs, &why))
        return usageError(QStringLiteral("bad --end '%1': %2").arg(parser.value(end), why));
    if (endMs < startMs)
        return usageError(QStringLiteral("--end lies before --start"));
    if (parser.value(output).isEmpty() && !parser.isSet(dryRun))
        return usageError(QStringLiteral("empty --output"));
    if (parser.isSet(dryRun)) {
        EditTool::Command command;
        command.ranges = {{startMs, wholeFile ? -1 : endMs}};
        command.inputs = inputs;
        command.level = level;
        return edit(command, true, parser.isSet(json), parser.value(output), parser.isSet(exact),
                    parser.isSet(keepTags), parser.isSet(sync));
    }
    CutJob::Options options;
    if (wholeFile) {
        if (!readable(input))
            return Failed;
        options.request = CutJob::wholeFile();
    } else {
        options.request.startMs = startMs;
        options.request.endMs = endMs;
        options.request.mode = parser.isSet(exact) ? CutRequest::Exact : CutRequest::WholeFrames;
    }
    options.request.keepTags = parser.isSet(keepTags);
    options.request.level = level;
    // Like cp or dd, leave the flush to the system unless asked; the output
    // still appears under its name only when complete.
    options.sync = parser.isSet(sync);
    return cut(input, parser.value(output), options);
}

int CutTool::edit(EditTool::Command command, bool dryRun, bool json, const QString &output, bool exact,
                  bool keepTags, bool sync)
{
    if (dryRun && !json)
        return usageError(QStringLiteral("--dry-run prints the plan as JSON: add --json"));
    if (!dryRun && output.isEmpty())
        return usageError(QStringLiteral("--output is missing"));
    command.output = output;
    command.dryRun = dryRun;
    command.exact = exact;
    command.keepTags = keepTags;
    command.sync = sync;
    return EditTool(m_out, m_err).run(command);
}

// Refuses at once what is no regular file: a FIFO would keep the query
// waiting for a writer, a device would never end.
bool CutTool::readable(const QString &input)
{
    SourceFile file;
    if (file.open(input))
        return true;
    m_err << Program << ": " << input << ": " << file.errorString() << '\n';
    m_err.flush();
    return false;
}

int CutTool::cut(const QString &input, const QString &output, const CutJob::Options &options)
{
    CutPlan plan;
    const CutResult result = CutJob::run(input, output, options, &plan);
    if (result.ok()) {
        EditTool::reportLevel(m_err, plan, result, options.request.level.normalize);
        return Success;
    }
    if (result.code == CutResult::LevelNeedsLayer3 || result.code == CutResult::MeasureFailed) {
        m_err << Program << ": " << input << ": " << EditTool::levelFailure(result.code, result.reason) << '\n';
        m_err.flush();
        return Failed;
    }
    if (result.code == CutResult::OutputIsSource)
        return usageError(QStringLiteral("%1: %2").arg(output, Mp3Splitter::errorMessage(result.code)));
    m_err << Program << ": ";
    if (result.code == CutResult::SourceOpenFailed)
        m_err << input << ": ";
    m_err << Mp3Splitter::errorMessage(result.code);
    if (!result.reason.isEmpty())
        m_err << " (" << result.reason << ')';
    m_err << " (error " << result.code << ")\n";
    m_err.flush();
    return Failed;
}

int CutTool::info(const QString &input)
{
    if (!readable(input))
        return Failed;
    const Mp3FileInfo facts = Mp3FileInfo::read(input);
    if (!facts.found)
        return noFrame(input);
    m_out << infoJson(facts, ChapterReader::read(input, facts.durationMs)) << '\n';
    return printed();
}

int CutTool::noFrame(const QString &input)
{
    m_err << Program << ": " << input << ": no MPEG audio frame found ("
          << Mp3Splitter::errorMessage(Mp3Splitter::FirstFrameNotFound) << ")\n";
    m_err.flush();
    return Failed;
}

// Standard output that went nowhere (a closed pipe, a full disk) fails the
// query: what was asked for did not arrive.
int CutTool::printed()
{
    m_out.flush();
    return m_out.status() == QTextStream::Ok ? Success : Failed;
}

namespace {

QByteArray chaptersJson(const ChapterReading &reading)
{
    QByteArray json = ",\"chapters\":[";
    for (int i = 0; i < reading.chapters.size(); ++i) {
        const Chapter &c = reading.chapters.at(i);
        json += (i > 0 ? ",{\"title\":" : "{\"title\":") + jsonString(c.title) + ",\"startMs\":"
            + QByteArray::number(c.startMs) + ",\"endMs\":" + QByteArray::number(c.endMs) + '}';
    }
    json += ']';
    if (reading.notes.isEmpty())
        return json;
    json += ",\"chaptersSkipped\":[";
    for (int i = 0; i < reading.notes.size(); ++i) {
        const ChapterNote &n = reading.notes.at(i);
        json += (i > 0 ? ",{\"id\":" : "{\"id\":") + jsonString(n.id) + ",\"title\":" + jsonString(n.title)
            + ",\"why\":" + jsonString(n.why()) + '}';
    }
    return json + ']';
}

} // namespace

QByteArray CutTool::infoJson(const Mp3FileInfo &info, const ChapterReading &chapters)
{
    auto number = [](qint64 value) { return QByteArray::number(value); };
    QByteArray json = "{";
    json += "\"format\":" + jsonString(info.format);
    json += ",\"version\":" + number(info.version);
    json += ",\"layer\":" + number(info.layer);
    json += ",\"bitrate\":" + number(info.bitRate);
    json += ",\"sampleRate\":" + number(info.sampleRate);
    json += ",\"tagSize\":" + number(info.tagSize);
    json += ",\"firstFrameOffset\":" + number(info.firstFrameOffset);
    json += ",\"frames\":" + number(info.frames);
    json += ",\"durationMs\":" + number(info.durationMs);
    json += ",\"vbr\":" + QByteArray(info.vbr ? "true" : "false");
    json += ",\"encoderDelay\":" + number(info.encoderDelay);
    json += ",\"encoderPadding\":" + number(info.encoderPadding);
    json += ",\"headerFrame\":{\"kind\":" + jsonString(info.headerFrame);
    json += ",\"frames\":" + number(info.headerFrames);
    json += ",\"bytes\":" + number(info.headerBytes) + '}';
    json += ",\"streamEnd\":" + number(info.streamEnd);
    if (!chapters.chapters.isEmpty() || !chapters.notes.isEmpty())
        json += chaptersJson(chapters);
    return json + '}';
}

int CutTool::envelope(const QString &input, int columns)
{
    if (!readable(input))
        return Failed;
    // A file of a header frame alone has no audio to measure, as --info says.
    if (!Mp3FileInfo::read(input).found)
        return noFrame(input);
    QString why;
    const QVector<float> values = LoudnessEnvelope::compute(input, columns, &why);
    if (values.isEmpty()) {
        m_err << Program << ": " << input << ": " << why << '\n';
        m_err.flush();
        return Failed;
    }
    m_out << envelopeJson(values) << '\n';
    return printed();
}

QByteArray CutTool::envelopeJson(const QVector<float> &values)
{
    QByteArray json = "[";
    for (int i = 0; i < values.size(); ++i) {
        if (i > 0)
            json += ',';
        json += QByteArray::number(double(values.at(i)), 'g', 4);
    }
    return json + ']';
}
