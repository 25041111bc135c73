#include "analysis/envelopejob.h"

#include "io/bufferedsource.h"
#include "scan/framewalker.h"
#include "analysis/mpg123decoder.h"

#include <QElapsedTimer>
#include <QFile>
#include <QMutexLocker>
#include <QRunnable>
#include <QThreadPool>

#include <algorithm>
#include <cmath>

namespace {

// Down to a quarter of the rate, mixed to mono: the level of a stretch barely
// moves, and the filterbank, much of a decoder's work, shrinks to an eighth.
constexpr int WantedDownSample = 2;
constexpr qint64 CheckpointInterval = SourceScan::CheckpointInterval;
// How long finished columns may wait before they are handed on.
constexpr qint64 FlushIntervalMs = 15;

} // namespace

// The part of the work one thread does: adds its frames' samples up per
// column and hands on the columns it completes.
class EnvelopeJob::Run
{
public:
    explicit Run(EnvelopeJob &job)
        : m_job(job)
    {
        m_sinceFlush.start();
    }

    // samples: count per channel, interleaved; missing ones count as silence.
    void addFrame(qint64 frame, const qint16 *samples, int count, int channels)
    {
        const qint64 frameStart = frame * m_job.m_samplesPerFrame;
        const qint64 heardEnd = m_job.m_firstSample + m_job.m_heardSamples;
        qint64 pos = std::max(frameStart, m_job.m_firstSample);
        const qint64 end = std::min(frameStart + m_job.m_samplesPerFrame, heardEnd);
        while (pos < end) {
            const int column = m_job.columnAt(pos);
            const qint64 segmentEnd = std::min(end, m_job.columnStart(column + 1));
            const qint64 from = (pos - frameStart) * channels;
            const qint64 to = std::min<qint64>(segmentEnd - frameStart, count) * channels;
            qint64 sum = 0;
            for (qint64 i = from; i < to; ++i)
                sum += qint64(samples[i]) * samples[i];
            add(column, double(sum) / channels, segmentEnd - pos);
            pos = segmentEnd;
        }
    }

    void completed(int column, float value, int count)
    {
        if (m_pending.isEmpty() || m_pendingFirst + m_pending.size() != column) {
            flush();
            m_pendingFirst = column;
        }
        m_pending.insert(m_pending.size(), count, value);
    }

    void flushIfDue()
    {
        if (!m_pending.isEmpty() && m_sinceFlush.elapsed() >= FlushIntervalMs)
            flush();
    }

    void finish()
    {
        if (m_column >= 0)
            m_job.commit(m_column, m_sum, m_count, *this);
        m_column = -1;
        flush();
    }

private:
    void add(int column, double sum, qint64 count)
    {
        if (column != m_column) {
            if (m_column >= 0)
                m_job.commit(m_column, m_sum, m_count, *this);
            m_column = column;
            m_sum = 0.0;
            m_count = 0;
        }
        m_sum += sum;
        m_count += count;
    }

    void flush()
    {
        if (!m_pending.isEmpty() && !m_job.isCancelled())
            m_job.m_columnsReady(m_pendingFirst, m_pending);
        m_pending.clear();
        m_sinceFlush.restart();
    }

    EnvelopeJob &m_job;
    int m_column = -1;
    double m_sum = 0.0;
    qint64 m_count = 0;
    int m_pendingFirst = 0;
    QVector<float> m_pending;
    QElapsedTimer m_sinceFlush;
};

EnvelopeJob::EnvelopeJob(const QString &fileName, int columns, ColumnsReady columnsReady, Done done)
    : m_fileName(fileName)
    , m_columns(std::max(1, columns))
    , m_columnsReady(std::move(columnsReady))
    , m_done(std::move(done))
{
}

float EnvelopeJob::level(double sumOfSquares, qint64 count)
{
    if (count <= 0 || sumOfSquares <= 0.0)
        return 0.0f;
    const double rms = std::sqrt(sumOfSquares / double(count)) / 32768.0;
    const double decibels = 20.0 * std::log10(rms);
    return float(std::clamp((decibels + DecibelRange) / DecibelRange, 0.0, 1.0));
}

qint64 EnvelopeJob::columnStart(int column) const
{
    // The first position p with columnAt(p) >= column.
    return m_firstSample + (qint64(column) * m_heardSamples + m_columns - 1) / m_columns;
}

int EnvelopeJob::columnAt(qint64 position) const
{
    return int((position - m_firstSample) * m_columns / m_heardSamples);
}

void EnvelopeJob::placeHeardSamples()
{
    const int perFrame = m_samplesPerFrame;
    const qint64 decoded = m_scan.frames * perFrame;
    qint64 first = m_scan.timeline.leadingTrim() >> m_downSample;
    qint64 end = decoded - (m_scan.timeline.trailingTrim() >> m_downSample);
    // A tag that claims more than the file holds is ignored.
    if (end <= first) {
        first = 0;
        end = decoded;
    }
    m_firstSample = first;
    m_heardSamples = end - first;
}

void EnvelopeJob::run(QThreadPool *pool, int maxRuns)
{
    {
        QFile file(m_fileName);
        if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
            m_done(file.errorString());
            return;
        }
        m_scan = SourceScan::run(&file, SourceScan::Visitor(), &m_cancel);
    }
    if (isCancelled())
        return;
    if (!m_scan.found()) {
        m_done(QStringLiteral("no MPEG audio frame found"));
        return;
    }
    m_checkpoints = int((m_scan.frames + CheckpointInterval - 1) / CheckpointInterval);
    m_downSample = Mpg123Decoder::downSampleFor(long(m_scan.rate()), WantedDownSample);
    m_samplesPerFrame = std::max(1, m_scan.samplesPerFrame() >> m_downSample);
    placeHeardSamples();
    m_sums.assign(size_t(m_columns), Column());

    const int checkpoints = m_checkpoints;
    const int runs = int(std::clamp<qint64>(m_scan.frames / MinFramesPerRun, 1,
                                            std::min(maxRuns, checkpoints)));
    m_activeRuns.store(runs);
    auto boundary = [=](int run) { return int(qint64(checkpoints) * run / runs); };
    const std::shared_ptr<EnvelopeJob> self = shared_from_this();
    for (int r = 1; r < runs; ++r) {
        const int first = boundary(r);
        const int end = boundary(r + 1);
        pool->start(QRunnable::create([self, first, end] { self->decodeRun(first, end); }));
    }
    decodeRun(0, boundary(1));
}

void EnvelopeJob::decodeRun(int firstCheckpoint, int endCheckpoint)
{
    if (isCancelled())
        return;
    const qint64 firstFrame = qint64(firstCheckpoint) * CheckpointInterval;
    const qint64 endFrame = endCheckpoint == m_checkpoints
        ? m_scan.frames
        : qint64(endCheckpoint) * CheckpointInterval;
    const int feedCheckpoint = std::max(0, firstCheckpoint - 1);
    const qint64 feedStart = qint64(feedCheckpoint) * CheckpointInterval;

    QFile file(m_fileName);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        finishRun(file.errorString());
        return;
    }
    Mpg123Decoder::Options options;
    options.mono = true;
    options.downSample = m_downSample;
    Mpg123Decoder decoder(options);
    if (!decoder.isValid()) {
        finishRun(decoder.errorText());
        return;
    }

    BufferedSource source(&file);
    FrameWalker walker(source, m_scan.checkpointOffset(feedStart), m_scan.reference);
    Run run(*this);
    Mpg123Decoder::Frame frame;
    qint64 next = firstFrame;  // the next frame whose samples are due
    while (next < endFrame && walker.next()) {
        if (isCancelled())
            return;
        decoder.feed(walker.data(), walker.length());
        while (decoder.nextFrame(&frame)) {
            const qint64 number = feedStart + frame.number;
            if (number < next || number >= endFrame)
                continue;
            // Frames the decoder could not make anything of are silence.
            for (; next < number; ++next)
                run.addFrame(next, nullptr, 0, 1);
            run.addFrame(number, frame.samples, frame.sampleCount, frame.channels);
            next = number + 1;
        }
        run.flushIfDue();
    }
    for (; next < endFrame; ++next)
        run.addFrame(next, nullptr, 0, 1);
    run.finish();
    finishRun(QString());
}

void EnvelopeJob::commit(int column, double sum, qint64 count, Run &run)
{
    QMutexLocker lock(&m_mutex);
    Column &c = m_sums[size_t(column)];
    c.sum += sum;
    c.count += count;
    if (c.count < columnStart(column + 1) - columnStart(column))
        return;
    const float value = level(c.sum, c.count);
    // Columns narrower than a sample (more columns than samples) take the
    // value of the one before them.
    int span = 1;
    while (column + span < m_columns && columnStart(column + span + 1) == columnStart(column + span))
        ++span;
    lock.unlock();
    run.completed(column, value, span);
}

void EnvelopeJob::finishRun(const QString &error)
{
    {
        QMutexLocker lock(&m_mutex);
        if (m_error.isEmpty())
            m_error = error;
    }
    if (m_activeRuns.fetch_sub(1) == 1 && !isCancelled())
        m_done(m_error);
}
