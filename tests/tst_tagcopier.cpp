#include "tags/tagcopier.h"
#include "testfiles.h"

#include <QtTest>

#include <attachedpictureframe.h>
#include <chapterframe.h>
#include <eventtimingcodesframe.h>
#include <synchronizedlyricsframe.h>
#include <tableofcontentsframe.h>
#include <id3v1tag.h>
#include <id3v2tag.h>
#include <mpegfile.h>
#include <textidentificationframe.h>

namespace {

const char *const Dropped[] = {"TLEN", "CHAP", "CTOC", "ETCO", "SYLT"};

QByteArray coverArt()
{
    return QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(3000, 'c') + QByteArray("\xFF\xD9", 2);
}

// The fixture tone with a full ID3v2.<version> tag (title, artist, album, cover, and
// frames that describe the whole file) and an ID3v1 tag, written by TagLib.
void tag(const QString &path, int version)
{
    TagLib::MPEG::File file(QFile::encodeName(path).constData());
    TagLib::ID3v2::Tag *v2 = file.ID3v2Tag(true);
    v2->setTitle("Whole Song");
    v2->setArtist("The Band");
    v2->setAlbum("The Album");
    // Every frame below is owned by the tag it is added to.
    auto *cover = new TagLib::ID3v2::AttachedPictureFrame;
    cover->setMimeType("image/jpeg");
    cover->setPicture(TagLib::ByteVector(coverArt().constData(), unsigned(coverArt().size())));
    v2->addFrame(cover);
    auto *length = new TagLib::ID3v2::TextIdentificationFrame("TLEN");
    length->setText("2000");
    v2->addFrame(length);
    v2->addFrame(new TagLib::ID3v2::ChapterFrame("chp0", 0, 1000, 0xFFFFFFFF, 0xFFFFFFFF));
    TagLib::ByteVectorList chapters;
    chapters.append("chp0");
    v2->addFrame(new TagLib::ID3v2::TableOfContentsFrame("toc", chapters));
    v2->addFrame(new TagLib::ID3v2::EventTimingCodesFrame);
    auto *lyrics = new TagLib::ID3v2::SynchronizedLyricsFrame;
    TagLib::ID3v2::SynchronizedLyricsFrame::SynchedTextList lines;
    lines.append({500, "la"});
    lyrics->setSynchedText(lines);
    v2->addFrame(lyrics);
    TagLib::ID3v1::Tag *v1 = file.ID3v1Tag(true);
    v1->setTitle("Whole Song");
    v1->setTrack(7);
    file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
              version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
}

QString text(TagLib::ID3v2::Tag *tag, const char *id)
{
    const TagLib::ID3v2::FrameList list = tag->frameList(id);
    return list.isEmpty() ? QString() : QString::fromStdWString(list.front()->toString().toWString());
}

// An ID3v2.<version> frame: its header (status flags as given) and body.
QByteArray frame(int version, const QByteArray &id, const QByteArray &body, char status = 0)
{
    QByteArray f = id;
    const int n = body.size();
    if (version == 2)
        f += QByteArray() + char(n >> 16) + char(n >> 8) + char(n);
    else if (version == 3)
        f += QByteArray() + char(n >> 24) + char(n >> 16) + char(n >> 8) + char(n);
    else
        f += QByteArray() + char(n >> 21 & 0x7F) + char(n >> 14 & 0x7F) + char(n >> 7 & 0x7F) + char(n & 0x7F);
    if (version > 2)
        f += QByteArray() + status + '\0';
    return f + body;
}

QByteArray id3v2(int version, const QByteArrayList &frames, int padding, char flags = 0)
{
    QByteArray body = frames.join() + QByteArray(padding, '\0');
    if (flags & 0x80)
        body.replace("\xFF", QByteArray("\xFF\0", 2)); // unsynchronised
    const int n = body.size();
    return QByteArray("ID3") + char(version) + '\0' + flags + char(n >> 21 & 0x7F) + char(n >> 14 & 0x7F)
        + char(n >> 7 & 0x7F) + char(n & 0x7F) + body;
}

// An ID3v1 tag; a track makes it ID3v1.1, whose comment is two bytes shorter.
QByteArray id3v1(const QByteArray &title, const QByteArray &comment, int track)
{
    auto field = [](const QByteArray &text, int size) { return text.leftJustified(size, '\0', true); };
    const QByteArray end = track ? field(comment, 28) + '\0' + char(track) : field(comment, 30);
    return "TAG" + field(title, 30) + field("Artist", 30) + field("Album", 30) + "1999" + end + char(17);
}

} // namespace

Q_DECLARE_METATYPE(TagOverrides)

class TestTagCopier : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_scratch.renew()); }
    void forCut_data();
    void forCut();
    void copiedAsWritten_data();
    void copiedAsWritten();
    void id3v1Bytes_data();
    void id3v1Bytes();

private:
    ScratchFolder m_scratch;
};

void TestTagCopier::forCut_data()
{
    QTest::addColumn<int>("version");    // of the source's ID3v2 tag, 0 for none
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("artist");
    QTest::addColumn<int>("track");
    QTest::addColumn<QString>("wantTitle");  // ID3v2 TIT2; empty: no ID3v2 tag
    QTest::addColumn<QString>("wantArtist");
    QTest::addColumn<QString>("wantTrack");

    QTest::newRow("tags kept") << 4 << "" << "" << 0 << "Whole Song" << "The Band" << "7";
    QTest::newRow("overrides on a tagged source")
        << 4 << "Piece 2" << "Somebody 某人" << 2 << "Piece 2" << "Somebody 某人" << "2";
    QTest::newRow("ID3v2.3 tags kept") << 3 << "" << "" << 0 << "Whole Song" << "The Band" << "7";
    QTest::newRow("no tags") << 0 << "" << "" << 0 << "" << "" << "";
    QTest::newRow("overrides on an untagged source")
        << 0 << "Piece 3" << "" << 3 << "Piece 3" << "" << "3";
}

void TestTagCopier::forCut()
{
    QFETCH(int, version);
    const bool tagged = version > 0;
    QFETCH(QString, title);
    QFETCH(QString, artist);
    QFETCH(int, track);
    QFETCH(QString, wantTitle);
    QFETCH(QString, wantArtist);
    QFETCH(QString, wantTrack);
    const QByteArray audio = readAll(fixturePath("tone_440hz_2s.mp3"));
    QVERIFY(!audio.startsWith("ID3") && audio.mid(audio.size() - 128, 3) != "TAG");
    const QString source = m_scratch.write("source.mp3", audio);
    if (tagged) {
        tag(source, version);
        TagLib::MPEG::File file(QFile::encodeName(source).constData());
        for (const char *id : Dropped)
            QVERIFY2(!file.ID3v2Tag()->frameList(id).isEmpty(), id);
    }

    const CutTags tags = TagCopier::forCut(source, {title, artist, track});
    QCOMPARE(tags.id3v2.isEmpty(), wantTitle.isEmpty());
    QCOMPARE(tags.id3v1.size(), tagged ? 128 : 0);
    // the source's ID3v2 version, or 2.4 for a fresh tag
    QCOMPARE(tags.id3v2.isEmpty() ? 0 : int(tags.id3v2.at(3)), tagged ? version : wantTitle.isEmpty() ? 0 : 4);

    // What a tag reader finds in a piece carrying them.
    const QString piece = m_scratch.write("piece.mp3", tags.id3v2 + audio + tags.id3v1);
    TagLib::MPEG::File file(QFile::encodeName(piece).constData());
    QCOMPARE(file.hasID3v2Tag(), !wantTitle.isEmpty());
    if (file.hasID3v2Tag()) {
        TagLib::ID3v2::Tag *v2 = file.ID3v2Tag();
        QCOMPARE(text(v2, "TIT2"), wantTitle);
        QCOMPARE(text(v2, "TPE1"), wantArtist);
        QCOMPARE(text(v2, "TRCK"), wantTrack);
        QCOMPARE(text(v2, "TALB"), QString(tagged ? "The Album" : ""));
        const TagLib::ID3v2::FrameList covers = v2->frameList("APIC");
        QCOMPARE(covers.size(), tagged ? 1u : 0u);
        if (tagged) {
            const auto *cover = static_cast<TagLib::ID3v2::AttachedPictureFrame *>(covers.front());
            QCOMPARE(QByteArray(cover->picture().data(), int(cover->picture().size())), coverArt());
        }
        for (const char *id : Dropped)
            QVERIFY2(v2->frameList(id).isEmpty(), id);
    }
    QCOMPARE(file.hasID3v1Tag(), tagged);
    if (tagged) {
        QCOMPARE(QString::fromStdWString(file.ID3v1Tag()->title().toWString()),
                 title.isEmpty() ? QString("Whole Song") : title);
        QCOMPARE(file.ID3v1Tag()->track(), track ? unsigned(track) : 7u);
    }
}

void TestTagCopier::copiedAsWritten_data()
{
    QTest::addColumn<QByteArray>("source"); // the ID3v2 tags in front of the audio
    QTest::addColumn<QByteArray>("copied");

    const QByteArray title3 = frame(3, "TIT2", QByteArray("\0Song", 5));
    const QByteArray year3 = frame(3, "TYER", QByteArray("\0" "1999", 5));
    const QByteArray date3 = frame(3, "TDAT", QByteArray("\0" "3112", 5));
    const QByteArray length3 = frame(3, "TLEN", QByteArray("\0" "2000", 5));
    const QByteArray chapter3 = frame(3, "CHAP", QByteArray("c0\0", 3) + QByteArray(16, '\0'));
    const QByteArray binary3 = frame(3, "PRIV", QByteArray("me\0\xFF\xE0\xFF\0", 7));
    const QByteArray title4 = frame(4, "TIT2", QByteArray("\x03Song", 5));
    const QByteArray artist4 = frame(4, "TPE1", QByteArray("\x03" "Band", 5));
    const QByteArray cover4 = frame(4, "APIC", "\0image/jpeg\0\x03\0" + QByteArray(200 * 1024, 'c'));

    QTest::newRow("ID3v2.3 byte for byte")
        << id3v2(3, {title3, year3, date3}, 300) << id3v2(3, {title3, year3, date3}, 300);
    QTest::newRow("whole-file frames dropped, the rest and the padding kept")
        << id3v2(3, {title3, length3, year3, chapter3, date3}, 300) << id3v2(3, {title3, year3, date3}, 300);
    QTest::newRow("a large cover, a large padding cut back")
        << id3v2(4, {title4, cover4}, 100000) << id3v2(4, {title4, cover4}, 16 * 1024);
    QTest::newRow("stacked tags")
        << id3v2(3, {title3, length3}, 10) + id3v2(4, {artist4}, 0) << id3v2(3, {title3}, 10) + id3v2(4, {artist4}, 0);
    QTest::newRow("ID3v2.2")
        << id3v2(2, {frame(2, "TT2", QByteArray("\0Song", 5)), frame(2, "TLE", QByteArray("\0" "2000", 5))}, 0)
        << id3v2(2, {frame(2, "TT2", QByteArray("\0Song", 5))}, 0);
    QTest::newRow("unsynchronised ID3v2.3 written plain")
        << id3v2(3, {title3, binary3, length3}, 0, char(0x80)) << id3v2(3, {title3, binary3}, 0);
    QTest::newRow("a frame its tagger drops when the audio changes")
        << id3v2(4, {title4, frame(4, "TXXX", QByteArray("\x03k\0v", 4), 0x20)}, 0) << id3v2(4, {title4}, 0);
    const QByteArray plainSized = frame(3, "TIT2", "\x03" + QByteArray(300, 's'));
    QTest::newRow("ID3v2.4 with plain frame sizes")
        << id3v2(4, {plainSized, length3, artist4}, 0) << id3v2(4, {plainSized, artist4}, 0);
    QTest::newRow("nothing left to copy") << id3v2(3, {length3, chapter3}, 100) << QByteArray();
}

void TestTagCopier::copiedAsWritten()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, copied);
    const QString path = m_scratch.write("source.mp3", source + readAll(fixturePath("tone_440hz_2s.mp3")));
    QCOMPARE(TagCopier::forCut(path).id3v2, copied);
}

void TestTagCopier::id3v1Bytes_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<TagOverrides>("overrides");
    QTest::addColumn<QByteArray>("copied");

    const QByteArray fullComment = "a comment of thirty characters";
    QTest::newRow("ID3v1.0, a comment of 30 bytes")
        << id3v1("Song", fullComment, 0) << TagOverrides() << id3v1("Song", fullComment, 0);
    QTest::newRow("no track over a comment of 30 bytes")
        << id3v1("Song", fullComment, 0) << TagOverrides{"Piece", "", 4} << id3v1("Piece", fullComment, 0);
    QTest::newRow("ID3v1.1 track") << id3v1("Song", "short", 9) << TagOverrides{"", "", 4} << id3v1("Song", "short", 4);
}

void TestTagCopier::id3v1Bytes()
{
    QFETCH(QByteArray, source);
    QFETCH(TagOverrides, overrides);
    QFETCH(QByteArray, copied);
    QCOMPARE(source.size(), 128);
    const QString path = m_scratch.write("source.mp3", readAll(fixturePath("tone_440hz_2s.mp3")) + source);
    QCOMPARE(TagCopier::forCut(path, overrides).id3v1, copied);
}

QTEST_APPLESS_MAIN(TestTagCopier)
#include "tst_tagcopier.moc"
