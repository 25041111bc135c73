#include "mp3splitter.h"

#include "io/atomicfile.h"
#include "edit/cutjob.h"
#include "edit/editjob.h"
#include "scan/firstframelocator.h"
#include "format/mpegheader.h"
#include "io/sourcefile.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <limits>

namespace {

// The combine copies in blocks of this size.
constexpr int CombineBlock = 256 * 1024;

int clampToInt(qint64 value)
{
    return int(qBound<qint64>(std::numeric_limits<int>::min(), value,
                              std::numeric_limits<int>::max()));
}

} // namespace

const QByteArray Mp3Splitter::FailureMarker = QByteArrayLiteral("ERRO");

Mp3Splitter::Mp3Splitter(QObject *parent)
    : AudioCutAbstract(parent)
{
}

Mp3Splitter::~Mp3Splitter()
{
    // A service thread whose deferred deletion has not run yet, or that is
    // still at work, must end before QObject destroys it with its parent.
    const auto threads = findChildren<QThread *>(QString(), Qt::FindDirectChildrenOnly);
    for (QThread *service : threads) {
        if (service == QThread::currentThread())
            continue;
        service->quit();
        service->wait();
    }
}

void Mp3Splitter::setSplitParameters(qint64 start, qint64 end, QString source, QString output)
{
    startTime = start;
    endTime = end;
    sourceFile = source;
    outputFile = output;
}

QString Mp3Splitter::getErrorText() const
{
    return errorText;
}

void Mp3Splitter::setMessagePause(int ms)
{
    m_messagePause = qMax(0, ms);
}

int Mp3Splitter::messagePause() const
{
    return m_messagePause;
}

void Mp3Splitter::setSyncOutput(bool on)
{
    m_syncOutput = on;
}

void Mp3Splitter::setCutMode(CutRequest::Mode mode)
{
    m_mode = mode;
}

void Mp3Splitter::setKeepTags(bool on)
{
    m_keepTags = on;
}

void Mp3Splitter::setLevel(const LevelRequest &level)
{
    m_level = level;
}

void Mp3Splitter::setRemoveRange(bool on)
{
    m_removeRange = on;
}

QString Mp3Splitter::errorMessage(int code)
{
    switch (code) {
    case FirstFrameNotFound:    return tr("Canot find first frame header.");
    case FirstFrameOffsetError: return tr("First frame hearder offset error.");
    case BitRateError:          return tr("BitRate error -1.");
    case SampleRateError:       return tr("SampleRate error.");
    case SourceOpenFailed:      return tr("File open failed.");
    case SkipBitRateError:      return tr("BitRate error -2.");
    case SkipSampleRateError:   return tr("SampleRate error -2.");
    case OutputCreateFailed:    return tr("File creating failed.");
    case CopySampleRateError:   return tr("SampleRate error -3.");
    case StartBeyondEnd:        return tr("Start time is beyond the end of audio.");
    case NothingToCut:          return tr("No whole frame lies between start and end.");
    case SourceChanged:         return tr("The source file changed during the cut.");
    case OutputIsSource:        return tr("The output file is the source file.");
    default:                    return QString();
    }
}

int Mp3Splitter::fail(int code, const QString &reason)
{
    errorText = errorMessage(code);
    // The system's reason after the message the user knows.
    if (!reason.isEmpty())
        errorText += QStringLiteral(" (") + reason + QLatin1Char(')');
    return code;
}

QByteArray Mp3Splitter::readFirstFrameHeader(QString file)
{
    scanCount = 0;
    tagSize = 0;
    m_firstOffset = -1;
    QFile source(file);
    if (!source.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        return FailureMarker;
    const FirstFrameLocator::Result first = FirstFrameLocator::locate(&source);
    scanCount = first.scanCount;
    tagSize = first.tagSize;
    noTag = first.noTag;
    if (!first.found)
        return FailureMarker;
    m_firstOffset = first.offset;
    return first.header;
}

void Mp3Splitter::startSplit()
{
    split(startTime, endTime, sourceFile, outputFile);
    if (!errorText.isEmpty()) {
        emit splitCompleted(errorText);
        showProcess(errorText);
    }
}

int Mp3Splitter::split(qint64 start, qint64 end, QString source, QString output)
{
    errorText.clear();

    showProcess(tr("1.Getting the first frame header..."));
    const QByteArray first = readFirstFrameHeader(source);
    if (first == FailureMarker)
        return fail(FirstFrameNotFound);
    const char *h = first.constData();

    // The offset the tag size and the search's byte count give must be where
    // the header was found; past 2 GiB only the search's own offset can say.
    showProcess(tr("2.Calculating first frame header offset..."));
    const int offset = firstFrameOffset();
    if (m_firstOffset < 0
        || (scanCount < std::numeric_limits<int>::max() && offset != m_firstOffset))
        return fail(FirstFrameOffsetError);

    // The source is opened once, for the plan and for the copy.
    showProcess(tr("3.Calculating amount of frames..."));
    SourceFile input;
    EditJob removal;
    const CutResult opened = m_removeRange ? removal.open({source}, output) : CutJob::open(input, source, output);
    if (!opened.ok())
        return fail(opened.code, opened.reason);
    CutRequest request;
    request.startMs = qMax<qint64>(0, start / 1000);
    request.endMs = qMax<qint64>(0, end / 1000);
    request.mode = m_mode;
    request.keepTags = m_keepTags;
    request.level = m_level;
    m_plan = m_removeRange ? removal.plan(aroundRange(request)) : CutJob::plan(input, source, request);
    frameCount = clampToInt(m_plan.frames());
    emit saveProgressBarMaxValue(frameCount);

    showProcess(tr("4.Getting frame inform..."));
    const int version = headerVersion(h);
    if (headerBitRate(h, version) == -1)
        return fail(BitRateError);
    if (headerSampleRate(h) == -1)
        return fail(SampleRateError);

    showProcess(tr("5.Getting the frame header size..."));
    showProcess(tr("6.Opening the source file..."));

    showProcess(tr("7.Reading DIV3 tag..."));

    showProcess(tr("8.Seeking start position..."));
    if (m_plan.error != 0)
        return fail(m_plan.error);

    showProcess(tr("9.Creating new file..."));
    showProcess(tr("10.Writting file..."));
    const CutResult result = m_removeRange ? writeEdit(removal, output) : write(input, output);
    if (!result.ok())
        return fail(result.code, result.reason);

    emit splitCompleted(errorText);
    showProcess(tr("Operate successfully!"));
    return 0;
}

CutResult Mp3Splitter::write(SourceFile &input, const QString &output)
{
    CutJob::Options options;
    options.sync = m_syncOutput;
    int shown = -1;
    options.progress = progress(&shown);
    return CutJob::write(m_plan, input, output, options);
}

CutResult Mp3Splitter::writeEdit(EditJob &job, const QString &output)
{
    EditJob::Options options;
    options.sync = m_syncOutput;
    int shown = -1;
    options.progress = progress(&shown);
    return job.write(m_plan, output, options);
}

// Only when the shown percentage moves, not once per frame.
CutWriter::Progress Mp3Splitter::progress(int *shown)
{
    return [this, shown](qint64 done, qint64 total) {
        const int percent = total > 0 ? int(done * 100 / total) : 100;
        if (percent == *shown)
            return;
        *shown = percent;
        emit currentSaveProgress(total > 0 ? clampToInt(frameCount * done / total) : frameCount);
    };
}

// The source before the range and after it; an end of 0 is the source's end.
EditRequest Mp3Splitter::aroundRange(const CutRequest &range)
{
    EditRequest edit;
    edit.mode = range.mode;
    edit.keepTags = range.keepTags;
    edit.level = range.level;
    if (range.startMs > 0)
        edit.spans.append({0, 0, range.startMs});
    if (range.endMs > 0)
        edit.spans.append({0, range.endMs, EditSpan::ToTheEnd});
    return edit;
}

void Mp3Splitter::showProcess(QString info)
{
    emit currentState(info);
    if (m_messagePause > 0)
        QThread::msleep(static_cast<unsigned long>(m_messagePause));
}

void Mp3Splitter::uSleep(unsigned long us)
{
    QThread::usleep(us);
}

int Mp3Splitter::headerVersion(const char *h)
{
    return MpegHeader::version(h);
}

int Mp3Splitter::headerLayer(const char *h)
{
    return MpegHeader::layer(h);
}

qint64 Mp3Splitter::headerBitRate(const char *h, int version)
{
    return MpegHeader::bitRate(h, version);
}

qint64 Mp3Splitter::headerSampleRate(const char *h)
{
    return MpegHeader::sampleRate(h);
}

int Mp3Splitter::headerPadding(const char *h)
{
    return MpegHeader::padding(h);
}

qint64 Mp3Splitter::frameLength(int version, qint64 bitRate, qint64 sampleRate, int padding)
{
    return MpegHeader::frameLength(version, bitRate, sampleRate, padding);
}

qint64 Mp3Splitter::framesBetween(qint64 start, qint64 end)
{
    return MpegHeader::framesBetween(start, end);
}

int Mp3Splitter::firstFrameOffset() const
{
    return MpegHeader::firstFrameOffset(tagSize, scanCount);
}

// Attribute query and combine. Each call runs its slots on a thread of its own
// and then hands the splitter back to the caller's thread and ends that thread,
// so the splitter can be used and destroyed where it came from.

void Mp3Splitter::asyncGetFileAttribute(QString fileName)
{
    combineFile1 = fileName;
    header = readFirstFrameHeader(fileName);
    runOnServiceThread({SLOT(getBitRate()), SLOT(getSamplingRate()), SLOT(getFormat()),
                        SLOT(startCombine())});
}

void Mp3Splitter::startCombineFiles(QString file1, QString file2)
{
    combineFile1 = file1;
    combineFile2 = file2;
    runOnServiceThread({SLOT(startCombine())});
}

void Mp3Splitter::runOnServiceThread(const QList<const char *> &slotSignatures)
{
    auto *service = new QThread(this);
    for (const char *slot : slotSignatures)
        connect(service, SIGNAL(started()), this, slot);
    connect(service, SIGNAL(started()), this, SLOT(finishService()));
    connect(service, SIGNAL(finished()), service, SLOT(deleteLater()));
    m_serviceOrigin = thread();
    moveToThread(service);
    service->start(QThread::InheritPriority);
}

void Mp3Splitter::finishService()
{
    QThread *service = QThread::currentThread();
    if (m_serviceOrigin && m_serviceOrigin != service)
        moveToThread(m_serviceOrigin);
    service->quit();
}

bool Mp3Splitter::hasHeader() const
{
    return header.size() == MpegHeader::HeaderSize && header != FailureMarker;
}

void Mp3Splitter::getBitRate()
{
    const char *h = header.constData();
    emit bitRateGet(hasHeader() ? headerBitRate(h, headerVersion(h)) : -1);
}

void Mp3Splitter::getSamplingRate()
{
    emit sampleRateGet(hasHeader() ? headerSampleRate(header.constData()) : -1);
}

void Mp3Splitter::getFormat()
{
    emit formatGet(hasHeader() ? MpegHeader::formatText(header.constData()) : QString());
}

void Mp3Splitter::startCombine()
{
    int result = -1;
    // Without a readable first header on either side there is no bitrate to
    // compare, and the files count as different.
    const QByteArray second = readFirstFrameHeader(combineFile2);
    if (hasHeader() && second != FailureMarker) {
        const char *a = header.constData();
        const char *b = second.constData();
        if (headerBitRate(a, headerVersion(a)) == headerBitRate(b, headerVersion(b)))
            result = combine(combineFile1, combineFile2);
    }
    emit combineCompleted(result);
}

QString Mp3Splitter::combinedFilePath()
{
    const QStringList homes = QStandardPaths::standardLocations(QStandardPaths::HomeLocation);
    const QString home = homes.isEmpty() ? QDir::homePath() : homes.first();
    const QString music = home + QStringLiteral("/music");
    QDir().mkpath(music);
    return music + QStringLiteral("/Combined")
        + QDateTime::currentDateTime().toString(QStringLiteral("_HHmmss"))
        + QStringLiteral(".mp3");
}

int Mp3Splitter::combine(QString file1, QString file2)
{
    QFile first(file1);
    QFile second(file2);
    // A file that does not open is left out, as before.
    const bool firstOpen = first.open(QIODevice::ReadOnly);
    const bool secondOpen = second.open(QIODevice::ReadOnly);

    // Unbuffered, so a short write (a full disk) shows here and the
    // half-combined file never takes its name.
    AtomicFile out(combinedFilePath());
    if (!out.open())
        return -1;
    QByteArray block(CombineBlock, Qt::Uninitialized);
    for (QFile *in : {firstOpen ? &first : nullptr, secondOpen ? &second : nullptr}) {
        if (!in)
            continue;
        qint64 got = 0;
        while ((got = in->read(block.data(), block.size())) > 0) {
            if (out.file().write(block.constData(), got) != got)
                return -1;
        }
        in->close();
    }
    return out.commit() ? 0 : -1;
}
