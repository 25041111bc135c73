// libFuzzer target: arbitrary bytes as an MP3 file, through the header reader,
// the frame walk, the file info, the planner and the writer in both modes.
// Besides the sanitizers it checks what a cut promises: success or one of the
// cutter's failure codes; an output made of the planned header frame and
// silent frame, then only whole frames that stand in the source in the same
// order; a header frame that the file info reads back with the right count;
// and the same frames whether the file is mapped or read in blocks. A cut at
// another level keeps every frame's place and length, with right CRCs, and
// the level map's ramps never turn back.

#include "io/bufferedsource.h"
#include "edit/cutjob.h"
#include "scan/framewalker.h"
#include "scan/mp3fileinfo.h"
#include "mp3splitter.h"
#include "format/headerframe.h"
#include "format/mpegheader.h"
#include "format/sideinfo.h"
#include "level/framegain.h"
#include "level/lamereplaygain.h"
#include "level/levelmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QVector>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

void check(bool ok, const char *what)
{
    if (!ok) {
        std::fprintf(stderr, "fuzz check failed: %s\n", what);
        std::abort();
    }
}

const QString &workFolder()
{
    static QTemporaryDir dir;
    check(dir.isValid(), "temporary folder");
    static const QString path = dir.path();
    return path;
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QVector<qint64> frameOffsets(BufferedSource &source, qint64 offset, const QByteArray &header)
{
    QVector<qint64> offsets;
    FrameWalker walker(source, offset, header);
    while (walker.next()) {
        check(walker.length() > 0, "frame length");
        offsets.append(walker.offset());
    }
    return offsets;
}

// The output must be what the plan writes in front, then frames of the
// source, whole, in the source's order.
void checkCut(const QByteArray &source, const QByteArray &cut, const CutPlan &plan)
{
    const QByteArray front = plan.headerFrame + plan.synthesised;
    check(cut.startsWith(front), "a cut does not start with its planned frames");
    check(cut.size() == plan.outputBytes(), "a cut is not as long as planned");
    qint64 from = 0;
    for (int at = front.size(); at < cut.size();) {
        check(cut.size() - at >= MpegHeader::HeaderSize, "a cut ends inside a header");
        const int length = MpegHeader::frameBytes(cut.constData() + at);
        check(length > 0 && at + length <= cut.size(), "a cut holds a broken frame");
        const QByteArray frame = cut.mid(at, length);
        const int found = source.indexOf(frame, int(from));
        check(found >= 0, "a cut holds bytes that are no frame of the source");
        from = found + length;
        at += length;
    }
}

// A cut at another level: the same frames as the plain cut of the same range,
// in the same places and of the same lengths; protected ones with their CRC
// right.
void checkLeveledCut(const QByteArray &plain, const QByteArray &leveled, const CutPlan &plan)
{
    check(leveled.size() == plain.size(), "a leveled cut differs in length");
    for (int at = int(plan.headerFrame.size() + plan.synthesised.size()); at < leveled.size();) {
        const int length = MpegHeader::frameBytes(leveled.constData() + at);
        check(length > 0 && length == MpegHeader::frameBytes(plain.constData() + at), "a leveled frame moved");
        check(leveled.mid(at, 4) == plain.mid(at, 4), "a leveled frame's header changed");
        const char *frame = leveled.constData() + at;
        if (SideInfo::isProtected(frame) && length >= 6 + SideInfo::size(frame))
            check((quint8(frame[4]) << 8 | quint8(frame[5])) == SideInfo::crc(frame), "a leveled CRC");
        at += length;
    }
}

void checkLevelMap(const std::uint8_t *data, std::size_t size)
{
    if (size < 4)
        return;
    LevelMap map;
    map.gainSteps = int(data[0]) - 128;
    map.totalGranules = data[1] + 1;
    map.fadeInGranules = data[2] % (map.totalGranules + 1);
    map.fadeOutGranules = data[3] % (map.totalGranules + 1);
    for (qint64 g = 1; g < map.totalGranules; ++g) {
        check(map.stepAt(g) <= map.gainSteps && map.stepAt(g) >= map.gainSteps + LevelMap::FadeFloor, "a step");
        if (g < map.fadeInGranules && map.totalGranules - g > map.fadeOutGranules)
            check(map.stepAt(g) >= map.stepAt(g - 1), "a fade-in turns back");
        if (map.totalGranules - 1 - (g - 1) < map.fadeOutGranules && g - 1 >= map.fadeInGranules)
            check(map.stepAt(g) <= map.stepAt(g - 1), "a fade-out turns back");
    }
}

// The side-information reader and the LAME fields on raw bytes.
void checkRawLevel(const QByteArray &bytes)
{
    QByteArray frame = bytes.left(MpegHeader::MaxFrameLength);
    FrameGain::Report report;
    if (FrameGain::apply(frame.data(), frame.size(), 3, &report))
        check(report.granules == FrameGain::granules(frame.constData()), "granules changed");
    QByteArray header = bytes.left(MpegHeader::MaxFrameLength);
    if (LameReplayGain::write(header, -4.2, 0.5)) {
        const LameReplayGain::Fields f = LameReplayGain::read(header);
        check(f.hasTrackGain && qAbs(f.trackGainDb + 4.2) < 0.051, "the LAME track gain");
        check(HeaderFrame::read(header.constData(), header.size()).tagCrcRight, "the LAME tag CRC");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    const QString input = workFolder() + QStringLiteral("/input.mp3");
    const QString output = workFolder() + QStringLiteral("/cut.mp3");
    check(writeFile(input, bytes), "writing the input");

    Mp3Splitter splitter;
    splitter.setMessagePause(0);
    splitter.setSyncOutput(false);
    const QByteArray header = splitter.readFirstFrameHeader(input);
    const bool found = header != Mp3Splitter::FailureMarker;
    if (found) {
        check(header.size() == MpegHeader::HeaderSize, "header size");
        const qint64 offset = splitter.firstFrameOffset();
        check(offset >= 0 && offset + MpegHeader::HeaderSize <= bytes.size(), "first frame offset");
        check(bytes.mid(int(offset), MpegHeader::HeaderSize) == header, "header bytes");

        // The walk over a mapped file and over small read blocks agree.
        QFile file(input);
        check(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered), "opening the input");
        BufferedSource mapped(&file);
        QBuffer buffer;
        buffer.setData(bytes);
        buffer.open(QIODevice::ReadOnly);
        BufferedSource blocks(&buffer, 4096);
        check(frameOffsets(mapped, offset, header) == frameOffsets(blocks, offset, header), "mapped and read walks differ");
    }

    const Mp3FileInfo info = Mp3FileInfo::read(input);
    check(info.found == (info.frames > 0), "info found");
    if (info.found) {
        check(info.firstFrameOffset >= 0 && info.firstFrameOffset < bytes.size(), "info offset");
        check(info.sampleRate > 0 && info.durationMs >= 0, "info rates");
    }

    // A few cuts, chosen by the input's first and last bytes, in both modes.
    static const qint64 starts[] = {0, 26, 52, 100, 1000, 3600000};
    static const qint64 spans[] = {0, 50, 1000, 60000, 13, 26};
    const int choice = size > 0 ? (data[0] ^ data[size - 1]) : 0;
    for (int i = 0; i < 4; ++i) {
        CutJob::Options options;
        options.sync = false;
        options.request.startMs = starts[(choice + 3 * i) % 6];
        options.request.endMs = options.request.startMs + spans[(choice / 6 + i) % 6];
        options.request.mode = i % 2 ? CutRequest::Exact : CutRequest::WholeFrames;
        QFile::remove(output);
        CutPlan plan;
        const int code = CutJob::run(input, output, options, &plan).code;
        check(code == 0 || code == CutResult::FirstFrameNotFound || code == CutResult::StartBeyondEnd
                  || code == CutResult::NothingToCut,
              "unexpected failure code");
        // The cut looks past a first header the reader takes unseen.
        check(found || code == CutResult::FirstFrameNotFound, "header reader and cut disagree");
        if (code != 0) {
            check(!QFile::exists(output), "a failed cut left a file");
            continue;
        }
        QFile cut(output);
        check(cut.open(QIODevice::ReadOnly), "reading the cut");
        const QByteArray plain = cut.readAll();
        checkCut(bytes, plain, plan);
        if (i == 1) {
            options.request.level.gainSteps = choice % 9 - 4;
            options.request.level.fadeInMs = choice % 5 * 20;
            options.request.level.fadeOutMs = choice % 3 * 30;
            CutPlan leveledPlan;
            const int leveledCode = CutJob::run(input, output, options, &leveledPlan).code;
            check(leveledCode == 0 || leveledCode == CutResult::LevelNeedsLayer3, "a leveled cut failed");
            QFile again(output);
            if (leveledCode == 0 && again.open(QIODevice::ReadOnly))
                checkLeveledCut(plain, again.readAll(), leveledPlan);
        }
        if (!plan.headerFrame.isEmpty()) {
            const Mp3FileInfo written = Mp3FileInfo::read(output);
            check(written.headerFrame != QLatin1String("none"), "the header frame is not read back");
            check(written.headerFrames == plan.frames() + (plan.synthesised.isEmpty() ? 0 : 1),
                  "the header frame's count");
        }
    }
    checkLevelMap(data, size);
    checkRawLevel(bytes);
    check(QDir(workFolder()).entryList(QDir::Files | QDir::Hidden).size() <= 2, "temporary files left behind");
    return 0;
}
