#include "chaptertool.h"

#include "cuesheet.h"
#include "edit/editjob.h"
#include "mp3splitter.h"
#include "rangelist.h"
#include "scan/sourcescan.h"
#include "sheettext.h"
#include "tags/chaptermap.h"
#include "tags/chapterreader.h"
#include "tags/tagcopier.h"

#include <QFile>
#include <QTextStream>

namespace {

const QString Program = QStringLiteral("snipwave-cut");

} // namespace

ChapterTool::ChapterTool(QTextStream &out, QTextStream &err)
    : m_out(out)
    , m_err(err)
{
}

QString ChapterTool::helpText()
{
    return tr("Chapters, the audio written unchanged with the input's other tags:\n"
              "  snipwave-cut INPUT --chapters-from FILE -o OUTPUT   from a CUE sheet (.cue)\n"
              "                                                      or a range list\n"
              "  snipwave-cut INPUT --chapters-every TIME -o OUTPUT  one every TIME\n");
}

int ChapterTool::failed(const QString &why)
{
    m_err << Program << ": " << why << '\n';
    m_err.flush();
    return 1;
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

bool ChapterTool::readPieces(const Command &command, qint64 durationMs, QVector<Piece> *pieces)
{
    if (command.from.isEmpty()) {
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

int ChapterTool::failed(const CutResult &result)
{
    const QString reason = result.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(result.reason);
    return failed(Mp3Splitter::errorMessage(result.code) + reason);
}

int ChapterTool::run(const Command &command)
{
    EditJob job;
    const CutResult opened = job.open({command.input}, command.output);
    if (!opened.ok())
        return failed(opened);
    const qint64 durationMs = job.scan(0).durationMs();
    QVector<Piece> pieces;
    if (!readPieces(command, durationMs, &pieces))
        return 1;
    const QVector<Chapter> chapters = timeline(pieces, durationMs);

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
