#include "tags/chapterreader.h"

#include <QSet>

#include <chapterframe.h>
#include <id3v2framefactory.h>
#include <id3v2header.h>
#include <tableofcontentsframe.h>

#include <algorithm>
#include <numeric>
#include <memory>

namespace {

struct Element
{
    QString id;
    Chapter chapter;
};

TagLib::ByteVector vector(const QByteArray &bytes)
{
    return TagLib::ByteVector(bytes.constData(), unsigned(bytes.size()));
}

QString latin1(const TagLib::ByteVector &v)
{
    return QString::fromLatin1(v.data(), int(v.size()));
}

QString title(const TagLib::ID3v2::ChapterFrame &frame)
{
    const TagLib::ID3v2::FrameList titles = frame.embeddedFrameList("TIT2");
    return titles.isEmpty() ? QString() : QString::fromStdWString(titles.front()->toString().toWString());
}

} // namespace

QString ChapterNote::why() const
{
    static const char *const texts[] = {
        "named by a table of contents but missing", "unreadable", "a second element of its ID",
        "ends where it starts", "starts after the audio", "starts where an earlier one starts",
        "shortened to the next one's start or the audio's end",
    };
    return QString::fromLatin1(texts[what]);
}

ChapterReading ChapterReader::read(const QVector<TagBlock> &tags, qint64 lengthMs)
{
    ChapterReading reading;
    QVector<Element> elements;
    QSet<QString> known;
    QStringList named; // by tables of contents
    for (const TagBlock &tag : tags) {
        if (tag.version() < 3)
            continue; // ID3v2.2 has no chapters
        TagLib::ID3v2::Header header;
        header.setMajorVersion(unsigned(tag.version()));
        for (const TagBlock::Frame &frame : tag.frames()) {
            if (frame.id != "CHAP" && frame.id != "CTOC")
                continue;
            // The factory reads the frame header for the tag's version.
            const std::unique_ptr<TagLib::ID3v2::Frame> parsed(
                TagLib::ID3v2::FrameFactory::instance()->createFrame(vector(frame.bytes), &header));
            if (const auto *chap = dynamic_cast<const TagLib::ID3v2::ChapterFrame *>(parsed.get())) {
                Element e{latin1(chap->elementID()), {title(*chap), chap->startTime(), chap->endTime()}};
                if (e.id.isEmpty()) {
                    reading.notes.append({ChapterNote::Unreadable, e.id, e.chapter.title});
                } else if (known.contains(e.id)) {
                    reading.notes.append({ChapterNote::Duplicate, e.id, e.chapter.title});
                } else {
                    known.insert(e.id);
                    elements.append(e);
                }
            } else if (const auto *toc = dynamic_cast<const TagLib::ID3v2::TableOfContentsFrame *>(parsed.get())) {
                known.insert(latin1(toc->elementID()));
                for (const TagLib::ByteVector &child : toc->childElements())
                    named.append(latin1(child));
            } else if (frame.id == "CHAP") {
                reading.notes.append({ChapterNote::Unreadable, QString(), QString()});
            }
        }
    }
    named.removeDuplicates();
    for (const QString &id : qAsConst(named)) {
        if (!known.contains(id))
            reading.notes.append({ChapterNote::MissingElement, id, QString()});
    }
    QVector<Chapter> chapters;
    QStringList ids;
    for (const Element &e : qAsConst(elements)) {
        chapters.append(e.chapter);
        ids.append(e.id);
    }
    reading.chapters = timeline(chapters, ids, lengthMs, &reading.notes);
    return reading;
}

QVector<Chapter> ChapterReader::timeline(const QVector<Chapter> &listed, const QStringList &ids, qint64 lengthMs,
                                         QVector<ChapterNote> *notes)
{
    QVector<int> order(listed.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&listed](int a, int b) { return listed[a].startMs < listed[b].startMs; });
    QVector<Chapter> chapters;
    QString lastId;
    auto note = [notes](ChapterNote::What what, const QString &id, const Chapter &c) {
        notes->append({what, id, c.title});
    };
    for (int i : qAsConst(order)) {
        Chapter c = listed[i];
        const QString id = ids.value(i);
        if (c.endMs <= c.startMs) {
            note(ChapterNote::Empty, id, c);
        } else if (lengthMs >= 0 && c.startMs >= lengthMs) {
            note(ChapterNote::PastTheEnd, id, c);
        } else if (!chapters.isEmpty() && chapters.back().startMs == c.startMs) {
            note(ChapterNote::SameStart, id, c);
        } else {
            if (!chapters.isEmpty() && chapters.back().endMs > c.startMs) {
                chapters.back().endMs = c.startMs;
                note(ChapterNote::Shortened, lastId, chapters.back());
            }
            if (lengthMs >= 0 && c.endMs > lengthMs) {
                c.endMs = lengthMs;
                note(ChapterNote::Shortened, id, c);
            }
            chapters.append(c);
            lastId = id;
        }
    }
    return chapters;
}

ChapterReading ChapterReader::read(const QString &path, qint64 lengthMs)
{
    return read(TagBlock::readLeading(path), lengthMs);
}
