#include "scan/firstframelocator.h"

#include "io/bufferedsource.h"
#include "scan/framewalker.h"
#include "format/mpegheader.h"

#include <limits>

namespace {

// The search only ever needs a few frames at a time.
constexpr int WindowSize = 256 * 1024;

quint8 byteAt(const char *bytes, int i)
{
    return static_cast<quint8>(bytes[i]);
}

} // namespace

FirstFrameLocator::Result FirstFrameLocator::locate(QIODevice *file)
{
    Result result;
    BufferedSource source(file, WindowSize);
    const int got = source.fill(0, MpegHeader::Id3HeaderSize);
    const char *head = source.data(0);

    if (got < MpegHeader::Id3HeaderSize || qstrncmp(head, "ID3", 3) != 0) {
        result.noTag = true;
        if (got >= MpegHeader::HeaderSize && MpegHeader::isValid(head)) {
            result.found = true;
            result.header = QByteArray(head, MpegHeader::HeaderSize);
            result.offset = 0;
            return result;
        }
        search(source, 0, 0, result);
        return result;
    }

    // Size field: four synchsafe bytes, 7 bits each.
    const qint64 size = (qint64(byteAt(head, 6) & 0x7F) << 21) | ((byteAt(head, 7) & 0x7F) << 14)
                      | ((byteAt(head, 8) & 0x7F) << 7) | (byteAt(head, 9) & 0x7F);
    result.tagSize = int(size + MpegHeader::Id3HeaderSize);
    const qint64 afterTag = result.tagSize;
    if (source.fill(afterTag, MpegHeader::HeaderSize) < MpegHeader::HeaderSize)
        return result;
    const char *first = source.data(afterTag);
    if (byteAt(first, 0) == 0xFF && byteAt(first, 1) == 0xFB) {
        result.found = true;
        result.header = QByteArray(first, MpegHeader::HeaderSize);
        result.offset = afterTag;
        return result;
    }
    // A frame of any layer right after the tag is taken, as one at the start
    // of an untagged file is; Layer I and II files carry tags too. Further
    // on, the search trusts Layer III headers only, where a stray sync in
    // other bytes would pass for Layer I or II.
    if (FrameWalker::isFrameAt(source, afterTag)) {
        result.found = true;
        result.header = QByteArray(source.data(afterTag), MpegHeader::HeaderSize);
        result.offset = afterTag;
        result.scanCount = MpegHeader::HeaderSize;
        return result;
    }
    search(source, afterTag, afterTag, result);
    return result;
}

// countFrom: where the search's byte count starts, so that the offset of the
// header found is countFrom + scanCount - 4.
void FirstFrameLocator::search(BufferedSource &source, qint64 from, qint64 countFrom, Result &result)
{
    const qint64 found = FrameWalker::findFrame(source, from, nullptr);
    if (found < 0)
        return;
    source.fill(found, MpegHeader::HeaderSize);
    result.found = true;
    result.header = QByteArray(source.data(found), MpegHeader::HeaderSize);
    result.offset = found;
    const qint64 count = found - countFrom + MpegHeader::HeaderSize;
    result.scanCount = int(qMin<qint64>(count, std::numeric_limits<int>::max()));
}
