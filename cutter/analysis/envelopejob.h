#ifndef ENVELOPEJOB_H
#define ENVELOPEJOB_H

#include "scan/sourcescan.h"

#include <QMutex>
#include <QString>
#include <QVector>

#include <atomic>
#include <functional>
#include <memory>
#include <vector>

class QThreadPool;

// One computation of a file's loudness envelope, run on a thread pool: a walk
// over the frame headers, then the frames split into a few runs of whole
// checkpoints, each decoded by its own libmpg123 handle on its own thread.
//
// Column c covers the c-th of `columns` equal stretches of the samples a
// player plays. Its value is the RMS level of those samples on a decibel scale,
// 0 at DecibelRange dB below full scale or quieter and 1 at full scale. A run
// that does not start at the file's beginning decodes one checkpoint of frames
// before its first frame and drops their output: the bit reservoir and the
// filterbank need them to come out right.
//
// The callbacks are called on the pool's threads, columns as they complete
// (in runs of consecutive columns, each column once), then done once with an
// empty text or why the file could not be read. After cancel() neither is
// called any more.
class EnvelopeJob : public std::enable_shared_from_this<EnvelopeJob>
{
public:
    static constexpr double DecibelRange = 60.0;
    // Shorter files are decoded on one thread: starting a second one would
    // cost more than it saves.
    static constexpr qint64 MinFramesPerRun = 1024;

    using ColumnsReady = std::function<void(int first, const QVector<float> &values)>;
    using Done = std::function<void(const QString &error)>;

    EnvelopeJob(const QString &fileName, int columns, ColumnsReady columnsReady, Done done);

    // Walks the file on the calling thread, then decodes there and on up to
    // maxRuns - 1 more threads of the pool.
    void run(QThreadPool *pool, int maxRuns);
    void cancel() { m_cancel.store(true); }
    bool isCancelled() const { return m_cancel.load(std::memory_order_relaxed); }

    // The value of a column from the sum of its squared 16-bit samples.
    static float level(double sumOfSquares, qint64 count);

private:
    struct Column
    {
        double sum = 0.0;
        qint64 count = 0;
    };
    class Run;

    void decodeRun(int firstCheckpoint, int endCheckpoint);
    void commit(int column, double sum, qint64 count, Run &run);
    void finishRun(const QString &error);
    void placeHeardSamples();
    qint64 columnStart(int column) const;
    int columnAt(qint64 position) const;

    const QString m_fileName;
    const int m_columns;
    ColumnsReady m_columnsReady;
    Done m_done;
    std::atomic<bool> m_cancel{false};

    SourceScan m_scan;
    int m_checkpoints = 0;
    int m_downSample = 0;
    int m_samplesPerFrame = 0;  // decoded, after mixing and rate reduction
    // The stretch of decoded positions a player plays: without the Xing/Info
    // frame, the encoder's and decoder's delay and the encoder's padding.
    // Position p is sample p % m_samplesPerFrame of frame p / m_samplesPerFrame.
    qint64 m_firstSample = 0;
    qint64 m_heardSamples = 0;
    std::atomic<int> m_activeRuns{0};

    QMutex m_mutex;  // guards the two below
    std::vector<Column> m_sums;
    QString m_error;
};

#endif // ENVELOPEJOB_H
