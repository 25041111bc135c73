#include "cuttool.h"
#include "edit/cutjob.h"
#include "edit/editjob.h"
#include "tags/chaptermap.h"
#include "tags/chapterreader.h"
#include "tags/tagcopier.h"
#include "testfiles.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <chapterframe.h>
#include <id3v2tag.h>
#include <tableofcontentsframe.h>
#include <textidentificationframe.h>

Q_DECLARE_METATYPE(Chapter)
Q_DECLARE_METATYPE(KeptRange)
Q_DECLARE_METATYPE(EditSpan)

namespace {

using Chapters = QVector<Chapter>;

// Chapters as a tagger writes them, chapter i with element ID "c<i>", and a
// table of contents listing the given IDs (none: no table), as an ID3v2.4 tag.
QByteArray tagged(const Chapters &chapters, const QStringList &table)
{
    TagLib::ID3v2::Tag tag;
    for (int i = 0; i < chapters.size(); ++i) {
        const Chapter &c = chapters[i];
        // Each frame is owned by what it is added to.
        auto *chap = new TagLib::ID3v2::ChapterFrame(QByteArray("c" + QByteArray::number(i)).constData(),
                                                     unsigned(c.startMs), unsigned(c.endMs), 0xFFFFFFFF, 0xFFFFFFFF);
        auto *title = new TagLib::ID3v2::TextIdentificationFrame("TIT2", TagLib::String::UTF8);
        title->setText(TagLib::String(c.title.toUtf8().constData(), TagLib::String::UTF8));
        chap->addEmbeddedFrame(title);
        tag.addFrame(chap);
    }
    if (!table.isEmpty()) {
        TagLib::ByteVectorList children;
        for (const QString &id : table)
            children.append(id.toLatin1().constData());
        tag.addFrame(new TagLib::ID3v2::TableOfContentsFrame("toc", children));
    }
    const TagLib::ByteVector bytes = tag.render();
    return QByteArray(bytes.data(), int(bytes.size()));
}

// The chapters ffprobe reads from a file, its title tags included.
Chapters probed(const QString &path)
{
    QProcess probe;
    probe.start(QStringLiteral("ffprobe"), {"-v", "error", "-show_entries", "chapter=start,end:chapter_tags=title",
                                            "-of", "csv=p=0", path});
    Chapters chapters;
    if (!probe.waitForFinished(60000) || probe.exitCode() != 0)
        return chapters;
    for (const QByteArray &line : probe.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(',');
        if (f.size() == 3)
            chapters.append({QString::fromUtf8(f[2]), f[0].toLongLong(), f[1].toLongLong()});
    }
    return chapters;
}

struct Run
{
    int code = -1;
    QString out;
    QString err;
};

Run cut(const QStringList &arguments)
{
    Run run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.code = CutTool(out, err).run(QStringList{QStringLiteral("snipwave-cut")} + arguments);
    return run;
}

bool runs(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// 9 s of a tone at 44.1 kHz, silent from 1 to 3 s and from 6 to 7 s, as lame
// encodes it with the given options.
QString pauses(const QString &folder, const QStringList &lame)
{
    const QString wav = folder + QStringLiteral("/pauses.wav");
    const QString mp3 = folder + QStringLiteral("/pauses.mp3");
    const bool made = runs("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i",
                                      "aevalsrc='if(between(t,1,3)+between(t,6,7),0,0.3*sin(2*PI*440*t))':s=44100:d=9", wav})
        && runs("lame", QStringList{"--quiet"} + lame + QStringList{wav, mp3});
    return made ? mp3 : QString();
}

// Half a frame at 44.1 kHz, and the millisecond that rounding adds.
constexpr qint64 HalfFrameMs = 1152 * 1000 / 44100 / 2 + 1;

bool near(const Chapters &got, const Chapters &expected, qint64 withinMs = HalfFrameMs)
{
    bool same = got.size() == expected.size();
    for (int i = 0; same && i < got.size(); ++i) {
        same = got[i].title == expected[i].title && qAbs(got[i].startMs - expected[i].startMs) <= withinMs
            && qAbs(got[i].endMs - expected[i].endMs) <= withinMs;
    }
    if (!same) {
        for (const Chapter &c : got)
            qWarning("%s %lld %lld", qPrintable(c.title), c.startMs, c.endMs);
    }
    return same;
}

Chapters numbered(int count, qint64 lengthMs)
{
    Chapters chapters;
    for (int i = 0; i < count; ++i)
        chapters.append({QStringLiteral("Part %1").arg(i + 1), i * lengthMs, (i + 1) * lengthMs});
    return chapters;
}

} // namespace

class TestChapters : public QObject
{
    Q_OBJECT

private slots:
    void init() { QVERIFY(m_scratch.renew()); }
    void read_data();
    void read();
    void written_data();
    void written();
    void mapped_data();
    void mapped();
    void keptThroughAnEdit_data();
    void keptThroughAnEdit();
    void atTheSilences_data();
    void atTheSilences();
    void piecesKeepTheirChapters_data();
    void piecesKeepTheirChapters();
    void splitSaysWhatItChanged();

private:
    ScratchFolder m_scratch;
};

void TestChapters::read_data()
{
    QTest::addColumn<Chapters>("written");
    QTest::addColumn<QStringList>("table");
    QTest::addColumn<qint64>("lengthMs"); // -1: not known
    QTest::addColumn<Chapters>("read");
    QTest::addColumn<QList<int>>("notes");

    const Chapter a{"A", 0, 5000}, b{"B", 5000, 9000};
    QTest::newRow("in order") << Chapters{a, b} << QStringList{"c0", "c1"} << qint64(-1) << Chapters{a, b} << QList<int>();
    QTest::newRow("out of order") << Chapters{b, a} << QStringList() << qint64(-1) << Chapters{a, b} << QList<int>();
    QTest::newRow("overlapping") << Chapters{{"A", 0, 6000}, b} << QStringList() << qint64(-1) << Chapters{a, b}
                                 << QList<int>{ChapterNote::Shortened};
    QTest::newRow("past the end")
        << Chapters{a, b, {"C", 9000, 10000}} << QStringList() << qint64(8000) << Chapters{a, {"B", 5000, 8000}}
        << QList<int>{ChapterNote::Shortened, ChapterNote::PastTheEnd};
    QTest::newRow("empty, and two at one time")
        << Chapters{a, {"E", 5000, 5000}, {"C", 0, 3000}, b} << QStringList() << qint64(-1) << Chapters{a, b}
        << QList<int>{ChapterNote::SameStart, ChapterNote::Empty};
    QTest::newRow("a table naming what is not there")
        << Chapters{a, b} << QStringList{"c0", "gone", "c1"} << qint64(-1) << Chapters{a, b}
        << QList<int>{ChapterNote::MissingElement};
    QTest::newRow("hundreds") << numbered(600, 1000) << QStringList() << qint64(-1) << numbered(600, 1000)
                              << QList<int>();
}

void TestChapters::read()
{
    QFETCH(Chapters, written);
    QFETCH(QStringList, table);
    QFETCH(qint64, lengthMs);
    QFETCH(Chapters, read);
    QFETCH(QList<int>, notes);
    const ChapterReading reading = ChapterReader::read({TagBlock::parse(tagged(written, table))}, lengthMs);
    QCOMPARE(reading.chapters, read);
    QList<int> got;
    for (const ChapterNote &note : reading.notes)
        got.append(note.what);
    QCOMPARE(got, notes);
}

// Written into the source's own tag, read back by ffprobe and by the reader.
void TestChapters::written_data()
{
    QTest::addColumn<int>("version"); // of the source's tag, 0 for none
    QTest::addColumn<Chapters>("chapters");

    const Chapters titled{{"Intro", 0, 700}, {"Über 章节", 700, 1500}, {"End", 1500, 2000}};
    QTest::newRow("no tag") << 0 << titled;
    QTest::newRow("ID3v2.3") << 3 << titled;
    QTest::newRow("ID3v2.4") << 4 << titled;
    QTest::newRow("more than a table holds") << 3 << numbered(300, 5);
}

void TestChapters::written()
{
    QFETCH(int, version);
    QFETCH(Chapters, chapters);
    const QByteArray audio = readAll(fixturePath("tone_440hz_2s.mp3"));
    QByteArray source = audio;
    if (version) {
        TagLib::ID3v2::Tag tag;
        tag.setTitle("Whole");
        const TagLib::ByteVector bytes = tag.render(version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
        source.prepend(bytes.data(), int(bytes.size()));
    }
    const CutTags tags = TagCopier(m_scratch.write("source.mp3", source)).forPiece({}, chapters);
    QCOMPARE(int(tags.id3v2.at(3)), version ? version : 4);
    const QString written = m_scratch.write("written.mp3", tags.id3v2 + audio);
    QCOMPARE(probed(written), chapters);
    const ChapterReading reading = ChapterReader::read(written);
    QCOMPARE(reading.chapters, chapters);
    QCOMPARE(reading.notes.size(), 0);
}

void TestChapters::mapped_data()
{
    QTest::addColumn<QVector<Chapters>>("sources");
    QTest::addColumn<QVector<KeptRange>>("kept");
    QTest::addColumn<qint64>("seamMs");
    QTest::addColumn<Chapters>("mapped");

    const Chapter a{"A", 0, 10000}, b{"B", 10000, 20000}, c{"C", 20000, 30000};
    const QVector<Chapters> one{{a, b, c}};
    QTest::newRow("a piece from the middle")
        << one << QVector<KeptRange>{{0, 5000, 25000}} << qint64(0) << Chapters{{"A", 0, 5000}, {"B", 5000, 15000}, {"C", 15000, 20000}};
    QTest::newRow("a removal inside a chapter")
        << one << QVector<KeptRange>{{0, 0, 4000}, {0, 6000, 30000}} << qint64(0)
        << Chapters{{"A", 0, 8000}, {"B", 8000, 18000}, {"C", 18000, 28000}};
    QTest::newRow("a chapter removed whole")
        << one << QVector<KeptRange>{{0, 0, 10000}, {0, 20000, 30000}} << qint64(0) << Chapters{a, {"C", 10000, 20000}};
    QTest::newRow("parts kept out of order")
        << one << QVector<KeptRange>{{0, 5000, 6000}, {0, 15000, 16000}, {0, 7000, 8000}} << qint64(0)
        << Chapters{{"A", 0, 1000}, {"B", 1000, 2000}, {"A", 2000, 3000}};
    QTest::newRow("joined files")
        << QVector<Chapters>{{a, b}, {{"D", 0, 4000}}} << QVector<KeptRange>{{0, 0, 20000}, {1, 0, 4000}} << qint64(0)
        << Chapters{a, b, {"D", 20000, 24000}};
    // Seams on whole frames, 13 ms from the chapter boundaries meant.
    QTest::newRow("a sliver at the start goes to the next chapter")
        << one << QVector<KeptRange>{{0, 9987, 25000}} << qint64(14) << Chapters{{"B", 0, 10013}, {"C", 10013, 15013}};
    QTest::newRow("a sliver at the end goes to the one before")
        << one << QVector<KeptRange>{{0, 0, 10013}} << qint64(14) << Chapters{{"A", 0, 10013}};
    QTest::newRow("a chapter removed whole, seams off by a sliver")
        << one << QVector<KeptRange>{{0, 0, 10013}, {0, 19987, 30000}} << qint64(14)
        << Chapters{{"A", 0, 10013}, {"C", 10013, 20026}};
    QTest::newRow("more than a sliver stays")
        << one << QVector<KeptRange>{{0, 9980, 10030}} << qint64(14) << Chapters{{"A", 0, 20}, {"B", 20, 50}};
    QTest::newRow("a range inside one chapter")
        << one << QVector<KeptRange>{{0, 12000, 12010}} << qint64(14) << Chapters{{"B", 0, 10}};
    QTest::newRow("a joined file without chapters")
        << QVector<Chapters>{{}, {a}} << QVector<KeptRange>{{0, 0, 3000}, {1, 0, 10000}} << qint64(0) << Chapters{{"A", 3000, 13000}};
}

void TestChapters::mapped()
{
    QFETCH(QVector<Chapters>, sources);
    QFETCH(QVector<KeptRange>, kept);
    QFETCH(qint64, seamMs);
    QFETCH(Chapters, mapped);
    QCOMPARE(ChapterMap::through(sources, kept, seamMs), mapped);
}

void TestChapters::keptThroughAnEdit_data()
{
    QTest::addColumn<int>("sources"); // copies of the chaptered source
    QTest::addColumn<QVector<EditSpan>>("spans");
    QTest::addColumn<int>("mode");
    QTest::addColumn<Chapters>("kept"); // where the marks put them

    const int whole = CutRequest::WholeFrames, exact = CutRequest::Exact;
    const Chapters across{{"A", 0, 200}, {"B", 200, 1000}, {"C", 1000, 1100}};
    QTest::newRow("cut, whole frames") << 1 << QVector<EditSpan>{{0, 500, 1600}} << whole << across;
    QTest::newRow("cut, exact") << 1 << QVector<EditSpan>{{0, 500, 1600}} << exact << across;
    QTest::newRow("cut inside one chapter") << 1 << QVector<EditSpan>{{0, 800, 1200}} << whole << Chapters{{"B", 0, 400}};
    QTest::newRow("removal") << 1 << QVector<EditSpan>{{0, 0, 600}, {0, 1000, EditSpan::ToTheEnd}} << whole
                             << Chapters{{"A", 0, 600}, {"B", 600, 1100}, {"C", 1100, 1600}};
    QTest::newRow("join") << 2 << QVector<EditSpan>{{0, 0, EditSpan::ToTheEnd}, {1, 0, EditSpan::ToTheEnd}} << whole
                          << Chapters{{"A", 0, 700}, {"B", 700, 1500}, {"C", 1500, 2000},
                                      {"A", 2000, 2700}, {"B", 2700, 3500}, {"C", 3500, 4000}};
}

// Sources with the chapters A 0-700, B 700-1500, C 1500-2000 ms, edited with
// their tags kept as the command line does: what survives lies where the
// marks put it, within half a frame.
void TestChapters::keptThroughAnEdit()
{
    QFETCH(int, sources);
    QFETCH(QVector<EditSpan>, spans);
    QFETCH(int, mode);
    QFETCH(Chapters, kept);
    const QByteArray source = tagged({{"A", 0, 700}, {"B", 700, 1500}, {"C", 1500, 2000}}, {"c0", "c1", "c2"})
        + readAll(fixturePath("tone_440hz_2s.mp3"));
    QStringList paths;
    for (int i = 0; i < sources; ++i)
        paths.append(m_scratch.write(QStringLiteral("source%1.mp3").arg(i), source));
    const QString output = m_scratch.filePath("edited.mp3");
    if (spans.size() == 1) {
        CutJob::Options options;
        options.request.startMs = spans[0].startMs;
        options.request.endMs = spans[0].endMs;
        options.request.mode = CutRequest::Mode(mode);
        options.request.keepTags = true;
        QVERIFY(CutJob::run(paths[0], output, options).ok());
    } else {
        EditJob job;
        QVERIFY(job.open(paths, output).ok());
        EditRequest request;
        request.spans = spans;
        request.mode = CutRequest::Mode(mode);
        request.keepTags = true;
        request.freshHeader = true;
        const CutPlan plan = job.plan(request);
        QCOMPARE(plan.error, 0);
        QVERIFY(job.write(plan, output, {}).ok());
    }

    const Chapters got = probed(output);
    QCOMPARE(got.size(), kept.size());
    const qint64 halfFrame = 1152 * 1000 / 44100 / 2 + 1;
    for (int i = 0; i < got.size(); ++i) {
        QCOMPARE(got[i].title, kept[i].title);
        QVERIFY2(qAbs(got[i].startMs - kept[i].startMs) <= halfFrame, qPrintable(QString::number(got[i].startMs)));
        QVERIFY2(qAbs(got[i].endMs - kept[i].endMs) <= halfFrame, qPrintable(QString::number(got[i].endMs)));
    }
}

void TestChapters::atTheSilences_data()
{
    QTest::addColumn<QStringList>("lame");
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<Chapters>("chapters"); // starting in the silences' middles

    QTest::newRow("CBR, both pauses") << QStringList{"-b", "64"} << QStringList{"--min-silence", "0.8"}
                                      << Chapters{{"Chapter 1", 0, 2000}, {"Chapter 2", 2000, 6500}, {"Chapter 3", 6500, 9000}};
    QTest::newRow("VBR, the long pause") << QStringList{"-V", "4"} << QStringList() << Chapters{{"Chapter 1", 0, 2000}, {"Chapter 2", 2000, 9000}};
}

// The audio frames go out as they are, with a chapter from the middle of
// each silence, as ffprobe reads them.
void TestChapters::atTheSilences()
{
    QFETCH(QStringList, lame);
    QFETCH(QStringList, options);
    QFETCH(Chapters, chapters);
    const QString source = pauses(m_scratch.path(), lame);
    QVERIFY2(!source.isEmpty(), "ffmpeg and lame make the source");
    const QString output = m_scratch.filePath("chapters.mp3");
    const Run run = cut(QStringList{source, "--chapters-at-silences", "-o", output} + options);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    // The silence finder judges whole frames: the middle is found within one.
    QVERIFY(near(probed(output), chapters, 2 * HalfFrameMs));
    const QByteArray audio = readAll(source);
    QVERIFY(readAll(output).endsWith(audio.mid(audio.size() - 20000)));
}

void TestChapters::piecesKeepTheirChapters_data()
{
    QTest::addColumn<QStringList>("mode");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QVector<Chapters>>("chapters"); // of each piece

    const QStringList numbered{"chaptered_1.mp3", "chaptered_2.mp3", "chaptered_3.mp3"};
    const QStringList titled{"1 Intro.mp3", "2 Middle_Part.mp3", "3 End.mp3"};
    const QVector<Chapters> own{{{"Intro", 0, 2000}}, {{"Middle/Part", 0, 4500}}, {{"End", 0, 2500}}};
    QTest::newRow("every") << QStringList{"--every", "3"} << numbered
                           << QVector<Chapters>{{{"Intro", 0, 2000}, {"Middle/Part", 2000, 3000}},
                                                {{"Middle/Part", 0, 3000}},
                                                {{"Middle/Part", 0, 500}, {"End", 500, 3000}}};
    QTest::newRow("chapters") << QStringList{"--split-chapters"} << titled << own;
    QTest::newRow("chapters, exact") << QStringList{"--split-chapters", "--exact"} << titled << own;
}

// Batch pieces with --keep-tags carry the chapters they play, moved; a
// piece per chapter carries its own, and is named by its title.
void TestChapters::piecesKeepTheirChapters()
{
    QFETCH(QStringList, mode);
    QFETCH(QStringList, names);
    QFETCH(QVector<Chapters>, chapters);
    const QString source = pauses(m_scratch.path(), {"-b", "64"});
    QVERIFY(!source.isEmpty());
    const QString list = m_scratch.write("list", "0 2 Intro\n2 6.5 Middle/Part\n6.5 9 End\n");
    const QString chaptered = m_scratch.filePath("chaptered.mp3");
    QCOMPARE(cut({source, "--chapters-from", list, "-o", chaptered}).code, 0);
    const QString folder = m_scratch.filePath("pieces");
    const Run run = cut(QStringList{chaptered, "-d", folder, "--keep-tags", "--json"} + mode);
    QVERIFY2(run.code == 0, qPrintable(run.err));
    QCOMPARE(QDir(folder).entryList(QDir::Files), names);
    const QStringList lines = run.out.split('\n', Qt::SkipEmptyParts);
    for (int i = 0; i < names.size(); ++i) {
        const QString path = QDir(folder).filePath(names[i]);
        QVERIFY2(near(probed(path), chapters[i]), qPrintable(names[i]));
        // The tags are rendered as each piece is written: the size planned holds.
        QCOMPARE(QJsonDocument::fromJson(lines.value(i).toUtf8()).object().value("bytes").toDouble(),
                 double(QFileInfo(path).size()));
    }
}

// Chapters with a gap, an overlap and a late start: the pieces follow the
// starts from the beginning to the end, and each change is said.
void TestChapters::splitSaysWhatItChanged()
{
    const QString source = pauses(m_scratch.path(), {"-b", "64"});
    QVERIFY(!source.isEmpty());
    const QString chaptered = m_scratch.write("chaptered.mp3", tagged({{"A", 1000, 2000}, {"B", 3000, 5000}, {"C", 4500, 9000}}, {})
                                                                + readAll(source));
    const Run run = cut({chaptered, "--split-chapters", "-d", m_scratch.path(), "--dry-run"});
    QVERIFY2(run.code == 0, qPrintable(run.err));
    for (const char *said : {"\"A\" starts at 00m01.000s: its piece starts at the beginning",
                             "\"A\" ends at 00m02.000s: its piece runs on to 00m03.000s",
                             "c1: \"B\" shortened to the next one's start"})
        QVERIFY2(run.err.contains(QLatin1String(said)), qPrintable(run.err));
    const QJsonArray pieces = QJsonDocument::fromJson(run.out.toUtf8()).object().value("pieces").toArray();
    QCOMPARE(pieces.size(), 3);
    const double starts[] = {0, 3, 4.5};
    for (int i = 0; i < 3; ++i) {
        const QJsonObject piece = pieces[i].toObject();
        QVERIFY(qAbs(piece.value("start").toDouble() - starts[i]) * 1000 <= HalfFrameMs);
        if (i < 2)
            QCOMPARE(piece.value("end"), pieces[i + 1].toObject().value("start"));
        else
            QVERIFY(qAbs(piece.value("end").toDouble() - 9) * 1000 <= HalfFrameMs);
    }
}

QTEST_APPLESS_MAIN(TestChapters)
#include "tst_chapters.moc"
