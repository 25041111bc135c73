#ifndef AUDIOCUTABSTRACT_H
#define AUDIOCUTABSTRACT_H

#include <QObject>
#include <QString>

// What the rest of the program knows of a cutter: it splits a range of a file
// into a new file, can combine two files, and reports through signals.
class AudioCutAbstract : public QObject
{
    Q_OBJECT

public:
    explicit AudioCutAbstract(QObject *parent = nullptr);
    ~AudioCutAbstract() override;

signals:
    // err is empty after success and holds the message of the failure otherwise.
    void splitCompleted(QString err);
    void currentSaveProgress(int value);
    void saveProgressBarMaxValue(int maxValue);

public slots:
    // start and end in microseconds; 0 on success, a negative code on failure.
    virtual int split(qint64 start, qint64 end, QString source, QString output) = 0;
    virtual int combine(QString file1, QString file2) = 0;
};

#endif // AUDIOCUTABSTRACT_H
