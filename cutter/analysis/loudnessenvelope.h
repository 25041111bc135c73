#ifndef LOUDNESSENVELOPE_H
#define LOUDNESSENVELOPE_H

#include <QObject>
#include <QString>
#include <QThreadPool>
#include <QVector>

#include <memory>

class EnvelopeJob;

// The loudness of an MP3 file over time, as a row of columns with values
// 0 (silence, or 60 dB below full scale) to 1 (full scale), computed from the
// decoded samples on worker threads.
//
// start() hands the columns on through columnsReady as they are done, the
// first ones within moments even for a long file, then says finished or
// failed. Starting again, cancel() or deleting the object drops the running
// work: nothing of it is reported afterwards.
class LoudnessEnvelope : public QObject
{
    Q_OBJECT

public:
    explicit LoudnessEnvelope(QObject *parent = nullptr);
    ~LoudnessEnvelope() override;

    void start(const QString &fileName, int columns);
    void cancel();
    bool isRunning() const { return m_job != nullptr; }

    // The same computation, waited for. Empty with error set when the file
    // has no audio or cannot be read.
    static QVector<float> compute(const QString &fileName, int columns, QString *error = nullptr);

signals:
    // values[i] is column first + i. Every column comes once.
    void columnsReady(int first, const QVector<float> &values);
    void finished();
    void failed(const QString &error);

private:
    void deliverColumns(quint64 generation, int first, const QVector<float> &values);
    void deliverDone(quint64 generation, const QString &error);

    QThreadPool m_pool;
    std::shared_ptr<EnvelopeJob> m_job;
    quint64 m_generation = 0;
};

#endif // LOUDNESSENVELOPE_H
