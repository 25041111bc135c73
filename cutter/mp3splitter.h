#ifndef MP3SPLITTER_H
#define MP3SPLITTER_H

#include "audiocutabstract.h"
#include "edit/cutplan.h"
#include "edit/cutwriter.h"
#include "io/cutresult.h"

#include <QByteArray>
#include <QString>

class QThread;
class EditJob;
class SourceFile;

// Cuts whole MPEG audio frames out of an MP3 file, byte for byte, and offers a
// file attribute query and a combine of two files on threads of their own.
//
// The cut runs where the object lives (the engine's worker thread); it reports
// ten numbered steps and a result through currentState, pausing after each
// message so that a person can read them, and the frames copied so far through
// currentSaveProgress. Times are microseconds in the player's timeline. The
// work itself is CutPlanner's and CutWriter's; this narrates it.
class Mp3Splitter : public AudioCutAbstract
{
    Q_OBJECT

public:
    enum ErrorCode {
        FirstFrameNotFound = CutResult::FirstFrameNotFound,
        FirstFrameOffsetError = CutResult::FirstFrameOffsetError,
        BitRateError = CutResult::BitRateError,
        SampleRateError = CutResult::SampleRateError,
        SourceOpenFailed = CutResult::SourceOpenFailed,
        SkipBitRateError = CutResult::SkipBitRateError,
        SkipSampleRateError = CutResult::SkipSampleRateError,
        OutputCreateFailed = CutResult::OutputCreateFailed,
        CopySampleRateError = CutResult::CopySampleRateError,
        StartBeyondEnd = CutResult::StartBeyondEnd,
        NothingToCut = CutResult::NothingToCut,
        SourceChanged = CutResult::SourceChanged,
        OutputIsSource = CutResult::OutputIsSource,
    };

    // Bytes the header reader returns when it finds no frame header.
    static const QByteArray FailureMarker;
    static constexpr int DefaultMessagePause = 120; // ms

    explicit Mp3Splitter(QObject *parent = nullptr);
    ~Mp3Splitter() override;

    Q_INVOKABLE void asyncGetFileAttribute(QString fileName);
    Q_INVOKABLE void startCombineFiles(QString file1, QString file2);

    void setSplitParameters(qint64 start, qint64 end, QString source, QString output);
    int split(qint64 start, qint64 end, QString source, QString output) override;
    int combine(QString file1, QString file2) override;

    // The first frame's 4 header bytes, or FailureMarker. Sets the scan count,
    // the tag size and the no-tag flag.
    QByteArray readFirstFrameHeader(QString file);
    QString getErrorText() const;
    // The translated message of an error code; empty for codes without one.
    static QString errorMessage(int code);

    // Pause after every message of showProcess, in milliseconds (0: none).
    void setMessagePause(int ms);
    int messagePause() const;
    // Whether a cut is flushed to the disk before it takes its name (on by
    // default). Either way it appears under its name only when complete.
    void setSyncOutput(bool on);
    // Whole frames (the default) or sample-exact; with or without the
    // source's tags.
    void setCutMode(CutRequest::Mode mode);
    void setKeepTags(bool on);
    // Leaves the range between start and end out instead: the output is the
    // rest of the source, joined at a seam.
    void setRemoveRange(bool on);
    // Fades and level of the output; none by default.
    void setLevel(const LevelRequest &level);
    // The plan of the last split, for what it will play.
    const CutPlan &lastPlan() const { return m_plan; }

    int getScanCount() const { return scanCount; }
    int getTagSize() const { return tagSize; }
    bool getNoTag() const { return noTag; }
    int getFrameCount() const { return frameCount; }

    // Frame header operations; see MpegHeader.
    static int headerVersion(const char *h);
    static int headerLayer(const char *h);
    static qint64 headerBitRate(const char *h, int version);
    static qint64 headerSampleRate(const char *h);
    static int headerPadding(const char *h);
    static qint64 frameLength(int version, qint64 bitRate, qint64 sampleRate, int padding);
    static qint64 framesBetween(qint64 start, qint64 end);
    int firstFrameOffset() const;

signals:
    void bitRateGet(qint64 bitRate);
    void sampleRateGet(qint64 sampleRate);
    void formatGet(QString format);
    void combineCompleted(int err);
    void currentState(QString text);

public slots:
    void uSleep(unsigned long us);
    void getBitRate();
    void getSamplingRate();
    void getFormat();
    void startCombine();
    void startSplit();
    void showProcess(QString info);

private slots:
    void finishService();

private:
    int fail(int code, const QString &reason = QString());
    CutResult write(SourceFile &input, const QString &output);
    CutResult writeEdit(EditJob &job, const QString &output);
    CutWriter::Progress progress(int *shown);
    static EditRequest aroundRange(const CutRequest &range);
    bool hasHeader() const;
    void runOnServiceThread(const QList<const char *> &slotSignatures);
    static QString combinedFilePath();

    int scanCount = 0;
    int tagSize = 0;
    int frameCount = 0;
    QString combineFile1;
    QString combineFile2;
    qint64 startTime = 0;
    qint64 endTime = 0;
    QString sourceFile;
    QString outputFile;
    QString errorText;
    QByteArray header;
    bool noTag = false;

    int m_messagePause = DefaultMessagePause;
    bool m_syncOutput = true;
    CutRequest::Mode m_mode = CutRequest::WholeFrames;
    bool m_keepTags = false;
    bool m_removeRange = false;
    LevelRequest m_level;
    CutPlan m_plan;
    qint64 m_firstOffset = -1;
    QThread *m_serviceOrigin = nullptr;
};

#endif // MP3SPLITTER_H
