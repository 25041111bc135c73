#include "analysis/loudnessenvelope.h"

#include "analysis/envelopejob.h"

#include <QRunnable>

#include <algorithm>

namespace {

// Beyond two threads the runs get short and the disk, not the decoder,
// sets the pace.
int runsFor(const QThreadPool &pool)
{
    return std::clamp(pool.maxThreadCount(), 1, 4);
}

} // namespace

LoudnessEnvelope::LoudnessEnvelope(QObject *parent)
    : QObject(parent)
{
    m_pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
}

LoudnessEnvelope::~LoudnessEnvelope()
{
    cancel();
    m_pool.waitForDone();
}

void LoudnessEnvelope::start(const QString &fileName, int columns)
{
    cancel();
    const quint64 generation = ++m_generation;
    m_job = std::make_shared<EnvelopeJob>(
        fileName, columns,
        [this, generation](int first, const QVector<float> &values) {
            QMetaObject::invokeMethod(
                this, [=] { deliverColumns(generation, first, values); }, Qt::QueuedConnection);
        },
        [this, generation](const QString &error) {
            QMetaObject::invokeMethod(
                this, [=] { deliverDone(generation, error); }, Qt::QueuedConnection);
        });
    const std::shared_ptr<EnvelopeJob> job = m_job;
    QThreadPool *pool = &m_pool;
    const int runs = runsFor(m_pool);
    m_pool.start(QRunnable::create([job, pool, runs] { job->run(pool, runs); }));
}

void LoudnessEnvelope::cancel()
{
    if (m_job)
        m_job->cancel();
    m_job.reset();
    ++m_generation;
}

void LoudnessEnvelope::deliverColumns(quint64 generation, int first, const QVector<float> &values)
{
    if (generation == m_generation)
        emit columnsReady(first, values);
}

void LoudnessEnvelope::deliverDone(quint64 generation, const QString &error)
{
    if (generation != m_generation)
        return;
    m_job.reset();
    if (error.isEmpty())
        emit finished();
    else
        emit failed(error);
}

QVector<float> LoudnessEnvelope::compute(const QString &fileName, int columns, QString *error)
{
    QVector<float> values(std::max(1, columns), 0.0f);
    float *out = values.data();
    QString why;
    QThreadPool pool;
    pool.setMaxThreadCount(std::max(2, QThread::idealThreadCount()));
    auto job = std::make_shared<EnvelopeJob>(
        fileName, columns,
        // Each column is written once, by one thread.
        [out](int first, const QVector<float> &part) { std::copy(part.cbegin(), part.cend(), out + first); },
        [&why](const QString &text) { why = text; });
    job->run(&pool, runsFor(pool));
    pool.waitForDone();
    if (why.isEmpty())
        return values;
    if (error)
        *error = why;
    return QVector<float>();
}
