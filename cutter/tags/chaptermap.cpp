#include "tags/chaptermap.h"

#include <algorithm>

namespace {

// Builds the output's chapters one part at a time, joining a part to the one
// before it where it is the same chapter going on.
class Collector
{
public:
    void add(int source, int chapter, const Chapter &part)
    {
        if (source == m_source && chapter == m_chapter && !m_out.isEmpty() && m_out.back().endMs == part.startMs) {
            m_out.back().endMs = part.endMs;
            return;
        }
        m_out.append(part);
        m_source = source;
        m_chapter = chapter;
    }
    // The last part grows over what follows it; false when it does not end there.
    bool extendTo(qint64 startMs, qint64 endMs)
    {
        if (m_out.isEmpty() || m_out.back().endMs != startMs)
            return false;
        m_out.back().endMs = endMs;
        return true;
    }
    QVector<Chapter> take() { return std::move(m_out); }

private:
    QVector<Chapter> m_out;
    int m_source = -1;
    int m_chapter = -1; // of m_source: the one m_out.back() is a part of
};

} // namespace

QVector<Chapter> ChapterMap::through(const QVector<QVector<Chapter>> &chapters,
                                     const QVector<KeptRange> &kept, qint64 seamMs)
{
    Collector out;
    qint64 at = 0; // where the range begins in the output
    for (const KeptRange &range : kept) {
        if (range.endMs <= range.startMs)
            continue;
        const QVector<Chapter> none;
        const QVector<Chapter> &source = range.source >= 0 && range.source < chapters.size()
            ? chapters[range.source] : none;
        // A sliver at the range's start, for the chapter after it to take.
        int carried = -1;
        Chapter sliver;
        for (int i = 0; i < source.size(); ++i) {
            const qint64 from = std::max(source[i].startMs, range.startMs);
            const qint64 to = std::min(source[i].endMs, range.endMs);
            if (to <= from)
                continue;
            Chapter part{source[i].title, at + from - range.startMs, at + to - range.startMs};
            const bool cutAtStart = source[i].startMs < range.startMs;
            const bool cutAtEnd = source[i].endMs > range.endMs;
            if (part.endMs - part.startMs <= seamMs && cutAtStart != cutAtEnd) {
                if (cutAtStart) {
                    carried = i;
                    sliver = part;
                    continue;
                }
                if (out.extendTo(part.startMs, part.endMs))
                    continue;
            }
            if (carried >= 0 && sliver.endMs == part.startMs)
                part.startMs = sliver.startMs;
            else if (carried >= 0)
                out.add(range.source, carried, sliver);
            carried = -1;
            out.add(range.source, i, part);
        }
        if (carried >= 0)
            out.add(range.source, carried, sliver);
        at += range.endMs - range.startMs;
    }
    return out.take();
}
