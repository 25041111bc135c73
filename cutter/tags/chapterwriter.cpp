#include "tags/chapterwriter.h"

#include <chapterframe.h>
#include <tableofcontentsframe.h>
#include <textidentificationframe.h>

#include <algorithm>

namespace {

constexpr unsigned Unused = 0xFFFFFFFF; // a CHAP frame's byte offsets, not given

TagLib::ByteVector elementId(const char *prefix, int number)
{
    return TagLib::ByteVector(prefix) + TagLib::ByteVector::fromCString(QByteArray::number(number).constData());
}

// Milliseconds as a CHAP frame holds them: 32 bits, unsigned.
unsigned frameTime(qint64 ms)
{
    return unsigned(std::clamp<qint64>(ms, 0, Unused - 1));
}

// The frames made here go to the tag that renders them.
TagLib::ID3v2::Frame *chapterFrame(const Chapter &chapter, int number)
{
    auto *frame = new TagLib::ID3v2::ChapterFrame(elementId("chp", number), frameTime(chapter.startMs),
                                                  frameTime(chapter.endMs), Unused, Unused);
    if (!chapter.title.isEmpty()) {
        // Owned by the chapter frame from here on.
        auto *title = new TagLib::ID3v2::TextIdentificationFrame("TIT2", TagLib::String::UTF8);
        title->setText(TagLib::String(chapter.title.toUtf8().constData(), TagLib::String::UTF8));
        frame->addEmbeddedFrame(title);
    }
    return frame;
}

TagLib::ID3v2::Frame *tableFrame(const TagLib::ByteVector &id, const TagLib::ByteVectorList &children,
                                 bool topLevel)
{
    auto *frame = new TagLib::ID3v2::TableOfContentsFrame(id, children);
    frame->setIsTopLevel(topLevel);
    frame->setIsOrdered(true);
    return frame;
}

} // namespace

QVector<TagBlock::Frame> ChapterWriter::frames(const QVector<Chapter> &chapters, int version)
{
    QVector<TagLib::ID3v2::Frame *> out;
    if (chapters.isEmpty())
        return {};
    QVector<TagLib::ByteVectorList> tables(1);
    for (int i = 0; i < chapters.size(); ++i) {
        if (tables.back().size() == EntriesPerTable)
            tables.append(TagLib::ByteVectorList());
        tables.back().append(elementId("chp", i));
    }
    if (tables.size() == 1) {
        out.append(tableFrame("toc", tables.front(), true));
    } else {
        TagLib::ByteVectorList top;
        for (int t = 0; t < tables.size(); ++t)
            top.append(elementId("toc", t + 1));
        out.append(tableFrame("toc", top, true));
        for (int t = 0; t < tables.size(); ++t)
            out.append(tableFrame(top[unsigned(t)], tables[t], false));
    }
    for (int i = 0; i < chapters.size(); ++i)
        out.append(chapterFrame(chapters[i], i));
    return TagBlock::fromTagLib(out, version);
}
