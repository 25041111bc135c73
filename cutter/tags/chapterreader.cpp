#include "tags/chapterreader.h"

#include <QSet>

#include <chapterframe.h>
#include <id3v2framefactory.h>
#include <id3v2header.h>
#include <tableofcontentsframe.h>

#include <algorithm>
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

// The chapters that make a timeline: in start order, each ending by the
// next one's start and by the audio's end.
QVector<Chapter> timeline(QVector<Element> elements, qint64 lengthMs, QVector<ChapterNote> &notes)
{
    std::stable_sort(elements.begin(), elements.end(), [](const Element &a, const Element &b) {
        return a.chapter.startMs < b.chapter.startMs;
    });
    QVector<Chapter> chapters;
    QString lastId;
    auto note = [&notes](ChapterNote::What what, const QString &id, const Chapter &c) {
        notes.append({what, id, c.title});
    };
    for (Element &e : elements) {
        Chapter &c = e.chapter;
        if (c.endMs <= c.startMs) {
            note(ChapterNote::Empty, e.id, c);
        } else if (lengthMs >= 0 && c.startMs >= lengthMs) {
            note(ChapterNote::PastTheEnd, e.id, c);
        } else if (!chapters.isEmpty() && chapters.back().startMs == c.startMs) {
            note(ChapterNote::SameStart, e.id, c);
        } else {
            if (!chapters.isEmpty() && chapters.back().endMs > c.startMs) {
                chapters.back().endMs = c.startMs;
                note(ChapterNote::Shortened, lastId, chapters.back());
            }
            if (lengthMs >= 0 && c.endMs > lengthMs) {
                c.endMs = lengthMs;
                note(ChapterNote::Shortened, e.id, c);
            }
            chapters.append(c);
            lastId = e.id;
        }
    }
    return chapters;
}

} // namespace

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
    reading.chapters = timeline(elements, lengthMs, reading.notes);
    return reading;
}

ChapterReading ChapterReader::read(const QString &path, qint64 lengthMs)
{
    return read(TagBlock::readLeading(path), lengthMs);
}
