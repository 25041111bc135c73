#include "tags/chaptermap.h"

#include <algorithm>

QVector<Chapter> ChapterMap::through(const QVector<QVector<Chapter>> &chapters,
                                     const QVector<KeptRange> &kept)
{
    QVector<Chapter> out;
    int lastSource = -1;
    int lastChapter = -1; // of lastSource: the one out.back() is a part of
    qint64 at = 0;        // where the range begins in the output
    for (const KeptRange &range : kept) {
        if (range.endMs <= range.startMs)
            continue;
        const QVector<Chapter> none;
        const QVector<Chapter> &source = range.source >= 0 && range.source < chapters.size()
            ? chapters[range.source] : none;
        for (int i = 0; i < source.size(); ++i) {
            const qint64 from = std::max(source[i].startMs, range.startMs);
            const qint64 to = std::min(source[i].endMs, range.endMs);
            if (to <= from)
                continue;
            const qint64 start = at + from - range.startMs;
            const qint64 end = at + to - range.startMs;
            if (range.source == lastSource && i == lastChapter && !out.isEmpty() && out.back().endMs == start) {
                out.back().endMs = end;
            } else {
                out.append({source[i].title, start, end});
                lastSource = range.source;
                lastChapter = i;
            }
        }
        at += range.endMs - range.startMs;
    }
    return out;
}
