// BatchTool, second part: what a run puts out. The plan as JSON for a dry
// run, the pieces written two at a time with a line of JSON each, and the
// progress bar.

#include "batchtool.h"

#include "io/atomicfile.h"
#include "edit/cutjob.h"
#include "edittool.h"
#include "jsonstring.h"
#include "mp3splitter.h"
#include "namingturn.h"
#include "orderedrunner.h"
#include "io/sourcefile.h"
#include "scan/sourcescan.h"

#include <QDir>
#include <QTextStream>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>
#include <vector>

namespace {

// Milliseconds as seconds with three decimals, exactly.
QByteArray seconds(qint64 ms)
{
    return QByteArray::number(ms / 1000) + '.' + QByteArray::number(ms % 1000).rightJustified(3, '0');
}

} // namespace

QByteArray BatchTool::pieceJson(const QString &folder, const Piece &piece)
{
    QByteArray json = "{\"name\":" + jsonString(QDir(folder).filePath(piece.fileName));
    json += ",\"start\":" + seconds(piece.heardStartMs);
    json += ",\"end\":" + seconds(piece.heardEndMs);
    json += ",\"frames\":" + QByteArray::number(piece.endFrame - piece.startFrame);
    json += ",\"bytes\":" + QByteArray::number(piece.bytes);
    return json + '}';
}

QByteArray BatchTool::planJson(const SourceScan &scan, const Job &job) const
{
    QByteArray points;
    QByteArray pieces;
    for (int i = 0; i < job.pieces.size(); ++i) {
        const Piece &piece = job.pieces.at(i);
        if (i > 0) {
            pieces += ",\n";
            if (piece.startMs == job.pieces.at(i - 1).endMs)
                points += (points.isEmpty() ? "" : ",") + seconds(piece.heardStartMs);
        }
        pieces += "  " + pieceJson(job.folder, piece);
    }
    return "{\"source\":" + jsonString(job.input) + ",\"frames\":" + QByteArray::number(scan.frames)
        + ",\"splitPoints\":[" + points + "],\"pieces\":[\n" + pieces + "\n]}\n";
}

void BatchTool::drawProgress(qint64 done, qint64 total, int piece, int count)
{
    if (!m_progress)
        return;
    const int percent = total > 0 ? int(done * 100 / total) : 100;
    if (percent == m_drawnPercent)
        return;
    m_drawnPercent = percent;
    constexpr int Width = 30;
    const int filled = percent * Width / 100;
    m_err << '\r' << '[' << QString(filled, QLatin1Char('#')) << QString(Width - filled, QLatin1Char('-')) << "] "
          << QStringLiteral("%1%").arg(percent, 3) << "  " << tr("piece %1 of %2").arg(piece).arg(count) << "\x1b[K";
    m_err.flush();
}

// The pieces are written by a few threads at once, each reading the source
// through a descriptor of its own; what they report goes out in the pieces'
// order. They take their names in order too: a piece done early waits until
// the one before it is written and reported, so the pieces written are
// always the first ones of the job, without holes. After a failure, or when the reader of --json went
// away, no further piece is begun and none takes its name.
int BatchTool::write(SourceFile &source, const Job &job)
{
    const int count = job.pieces.size();
    // A source that can no longer be opened by its name (removed, renamed,
    // changed) is still read through the first descriptor, by one thread;
    // a change shows there as the pieces are written.
    std::vector<std::unique_ptr<SourceFile>> others;
    for (int i = 1; i < std::min(OrderedRunner::copyThreads(), count); ++i) {
        auto other = std::make_unique<SourceFile>();
        if (!other->reopen(source))
            break;
        others.push_back(std::move(other));
    }
    const int threads = 1 + int(others.size());
    qint64 total = 0;
    for (const Piece &piece : job.pieces)
        total += piece.bytes;
    std::atomic<qint64> done{0};
    AtomicFile::removeStale(job.folder);
    NamingTurn turn;
    std::vector<LevelShortfall> shortfalls(static_cast<size_t>(count));

    auto task = [&](int index, int worker, QString *why) {
        SourceFile &input = worker == 0 ? source : *others.at(size_t(worker - 1));
        qint64 counted = 0;
        const bool ok = writePiece(input, job, index, [&](qint64 copied, qint64) {
            done += copied - counted;
            counted = copied;
        }, [&turn, index] { return turn.wait(index); }, why, &shortfalls[size_t(index)]);
        done += job.pieces.at(index).bytes - counted;
        if (!ok)
            turn.ended(index, false);
        return ok;
    };
    int failed = -1;
    QString reason;
    bool outputLost = false;
    // A piece takes its name once the one before it is reported.
    auto outcome = [&](int index, bool ok, const QString &why) {
        if (!ok && failed < 0) {
            failed = index;
            reason = why;
        }
        if (ok && job.json && !outputLost) {
            m_out << pieceJson(job.folder, job.pieces.at(index)) << '\n';
            m_out.flush();
            // The reader went away (a pipe into head): the job ends here.
            outputLost = m_out.status() != QTextStream::Ok;
        }
        if (outputLost)
            turn.stop();
        else
            turn.ended(index, ok);
    };
    auto tick = [&](int running) { drawProgress(done, total, std::min(running + 1, count), count); };

    const int written = OrderedRunner(threads).run(count, task, outcome, tick);
    if (m_progress) {
        if (failed < 0 && !outputLost) {
            m_drawnPercent = -1; // the last piece's number, even at 100 % already
            drawProgress(total, total, count, count);
        }
        m_err << '\n';
        m_err.flush();
    }
    // What the level change did, once the progress line is done with.
    if (!job.level.isNone()) {
        for (int i = 0; i < written; ++i) {
            CutResult result;
            result.level = shortfalls.at(size_t(i));
            EditTool::reportLevel(m_err, job.plans.at(i), result, job.level.normalize, job.pieces.at(i).fileName);
        }
    }
    if (failed < 0 && !outputLost)
        return 0;
    const QString what = outputLost ? tr("standard output: %1").arg(qt_error_string(EPIPE))
                                    : tr("%1: %2").arg(QDir(job.folder).filePath(job.pieces.at(failed).fileName), reason);
    if (written == 0)
        return failure(tr("%1 (%2 of %3 pieces written)").arg(what).arg(written).arg(count));
    return failure(tr("%1 (%2 of %3 pieces written, the last %4)")
                       .arg(what)
                       .arg(written)
                       .arg(count)
                       .arg(QDir(job.folder).filePath(job.pieces.at(written - 1).fileName)));
}

bool BatchTool::writePiece(SourceFile &source, const Job &job, int index, const CutWriter::Progress &progress,
                           const CutWriter::CommitGate &gate, QString *why, LevelShortfall *shortfall) const
{
    CutJob::Options options;
    options.sync = job.sync;
    options.removeStale = false; // write() did, once for all pieces
    options.progress = progress;
    options.commitGate = gate;
    CutPlan plan = job.plans.at(index);
    const auto own = job.ownTags.constFind(index);
    if (own != job.ownTags.cend()) {
        const CutTags tags = own->render();
        plan.tagFront = tags.id3v2;
        plan.tagBack = tags.id3v1;
    }
    const CutResult result = CutJob::write(plan, source, QDir(job.folder).filePath(job.pieces.at(index).fileName), options);
    *shortfall = result.level;
    if (!result.reason.isEmpty())
        *why = result.reason;
    else if (!result.ok())
        *why = Mp3Splitter::errorMessage(result.code);
    return result.ok();
}
