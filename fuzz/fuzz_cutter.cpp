// libFuzzer target: arbitrary bytes as an MP3 file, through the header reader,
// the frame walk, the file info and the split. Besides the sanitizers it
// checks what a cut promises: success or one of the cutter's failure codes,
// an output made only of whole frames that stand in the source in the same
// order, and the same frames whether the file is mapped or read in blocks.

#include "bufferedsource.h"
#include "framewalker.h"
#include "mp3fileinfo.h"
#include "mp3splitter.h"
#include "mpegheader.h"

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

// The output must be frames of the source, whole, in the source's order.
void checkCut(const QByteArray &source, const QByteArray &cut)
{
    qint64 from = 0;
    for (int at = 0; at < cut.size();) {
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

    // A few cuts, chosen by the input's first and last bytes.
    static const qint64 starts[] = {0, 26000, 52245, 100000, 1000000, 3600000000};
    static const qint64 spans[] = {0, 50000, 1000000, 60000000, -1000000, 26122};
    const int choice = size > 0 ? (data[0] ^ data[size - 1]) : 0;
    for (int i = 0; i < 2; ++i) {
        const qint64 start = starts[(choice + 3 * i) % 6];
        const qint64 end = start + spans[(choice / 6 + i) % 6];
        QFile::remove(output);
        const int code = splitter.split(start, end, input, output);
        check(code == 0 || code == Mp3Splitter::FirstFrameNotFound || code == Mp3Splitter::StartBeyondEnd,
              "unexpected failure code");
        check((code == Mp3Splitter::FirstFrameNotFound) == !found, "header reader and split disagree");
        if (code != 0) {
            check(!QFile::exists(output), "a failed cut left a file");
            continue;
        }
        QFile cut(output);
        check(cut.open(QIODevice::ReadOnly), "reading the cut");
        checkCut(bytes, cut.readAll());
    }
    check(QDir(workFolder()).entryList(QDir::Files | QDir::Hidden).size() <= 2, "temporary files left behind");
    return 0;
}
