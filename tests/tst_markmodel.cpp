// The marks' owner without any widget: the marking rules, the history, the
// zoomed view and the stretches the edge keys play.

#include "markmodel.h"

#include <QSignalSpy>
#include <QTest>

using Range = MarkModel::Range;
Q_DECLARE_METATYPE(Range)

namespace {

// A 40 s source of 26 ms frames.
constexpr qint64 sourceMs = 40000;

// Steps of a little script: "m S E" marks, "u" undoes, "r" redoes, "[" and
// "]" begin and end a gesture, "z F A" zooms by F around A ms, "s X"
// scrolls X of the view, "v T" brings T ms into view.
void run(MarkModel &model, const QString &script)
{
    for (const QString &step : script.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList word = step.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        const QString what = word.value(0);
        if (what == "m")
            model.mark(word.at(1).toLongLong(), word.at(2).toLongLong());
        else if (what == "u")
            model.undo();
        else if (what == "r")
            model.redo();
        else if (what == "[")
            model.beginGesture();
        else if (what == "]")
            model.endGesture();
        else if (what == "z")
            model.zoom(word.at(1).toDouble(), word.at(2).toDouble());
        else if (what == "s")
            model.scroll(word.at(1).toDouble());
        else if (what == "v")
            model.reveal(word.at(1).toLongLong());
        else
            QFAIL(qPrintable("unknown step " + step));
    }
}

} // namespace

class TestMarkModel : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void marksAndHistory_data();
    void marksAndHistory();
    void view_data();
    void view();
    void followTurnsThePage();
    void edgePlan_data();
    void edgePlan();
    void chapters_data();
    void chapters();

private:
    std::unique_ptr<MarkModel> model;
};

void TestMarkModel::init()
{
    model = std::make_unique<MarkModel>();
    model->setDuration(sourceMs);
    model->setFrameMs(26);
}

void TestMarkModel::marksAndHistory_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<Range>("marks");
    QTest::addColumn<bool>("canUndo");
    QTest::addColumn<bool>("canRedo");

    QTest::newRow("kept within the source") << "m -5 50000" << Range{0, sourceMs} << true << false;
    QTest::newRow("no end yet leaves the start free") << "m 9000 0" << Range{9000, 0} << true << false;
    QTest::newRow("a start past the end gives way") << "m 1000 5000,m 7000 5000" << Range{5000, 5000} << true << false;
    QTest::newRow("an end before the start gives way") << "m 3000 5000,m 3000 2000" << Range{3000, 3000} << true << false;
    QTest::newRow("an unchanged mark is no change") << "m 1000 5000,m 1000 5000,u" << Range{0, 0} << false << true;
    QTest::newRow("undo steps back one change") << "m 1000 5000,m 2000 5000,u" << Range{1000, 5000} << true << true;
    QTest::newRow("redo steps on again") << "m 1000 5000,m 2000 5000,u,u,r" << Range{1000, 5000} << true << true;
    QTest::newRow("a new change drops the redo") << "m 1000 5000,u,m 3000 0" << Range{3000, 0} << true << false;
    QTest::newRow("a gesture undoes as one")
        << "m 1000 5000,[,m 1100 5000,m 1200 5000,m 1300 5000,],u" << Range{1000, 5000} << true << true;
    QTest::newRow("changes after a gesture undo alone")
        << "[,m 1100 0,m 1200 0,],m 1300 0,u" << Range{1200, 0} << true << true;
    QTest::newRow("zooming is no change") << "m 1000 5000,z 4 3000,s 0.5,u" << Range{0, 0} << false << true;
    QTest::newRow("undo past the start does nothing") << "m 1000 5000,u,u,u" << Range{0, 0} << false << true;
}

void TestMarkModel::marksAndHistory()
{
    QFETCH(QString, script);
    QFETCH(Range, marks);
    QFETCH(bool, canUndo);
    QFETCH(bool, canRedo);

    QSignalSpy changed(model.get(), &MarkModel::changed);
    run(*model, script);
    QCOMPARE(model->marks(), marks);
    QCOMPARE(model->canUndo(), canUndo);
    QCOMPARE(model->canRedo(), canRedo);
    QVERIFY(changed.count() > 0 || marks == Range());

    model->reset();
    QCOMPARE(model->marks(), Range());
    QVERIFY(!model->canUndo() && !model->canRedo());
}

void TestMarkModel::view_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<double>("start");
    QTest::addColumn<double>("length");

    QTest::newRow("whole at first") << "" << 0.0 << double(sourceMs);
    QTest::newRow("the anchor keeps its place") << "z 4 10000" << 7500.0 << 10000.0;
    QTest::newRow("twice around the same anchor") << "z 2 10000,z 2 10000" << 7500.0 << 10000.0;
    QTest::newRow("not before the source") << "z 4 10000,s -5" << 0.0 << 10000.0;
    QTest::newRow("not past its end") << "z 8 39900,s 3" << 35000.0 << 5000.0;
    QTest::newRow("no closer than 20 frames") << "z 1000 20000" << 20000.0 - 520 * 0.5 << 520.0;
    QTest::newRow("out to the whole source, no further") << "z 4 10000,z 0.01 10000" << 0.0 << double(sourceMs);
    QTest::newRow("scrolling the whole view does nothing") << "s 0.5" << 0.0 << double(sourceMs);
    QTest::newRow("a scroll moves a share of the view") << "z 4 10000,s -0.5" << 2500.0 << 10000.0;
    QTest::newRow("a time in view stays where it is") << "z 4 10000,v 17000" << 7500.0 << 10000.0;
    QTest::newRow("a time past the view comes into it") << "z 4 10000,v 30000" << 29000.0 << 10000.0;
    QTest::newRow("and one before it, within the source") << "z 4 10000,v 500" << 0.0 << 10000.0;
}

void TestMarkModel::view()
{
    QFETCH(QString, script);
    QFETCH(double, start);
    QFETCH(double, length);

    run(*model, script);
    QCOMPARE(model->viewStart(), start);
    QCOMPARE(model->viewLength(), length);
    QCOMPARE(model->isZoomed(), length < sourceMs);
}

// While it plays, the playhead leaving the view turns the page; a view the
// user scrolled away from the playhead stays.
void TestMarkModel::followTurnsThePage()
{
    model->zoom(4, 5000); // 3750 .. 13750
    QSignalSpy viewSpy(model.get(), &MarkModel::viewChanged);
    model->follow(13700, 13600);
    QCOMPARE(viewSpy.count(), 0);
    model->follow(13790, 13700);
    QCOMPARE(model->viewStart(), 13790.0);
    model->follow(30000, 2000);
    QCOMPARE(model->viewStart(), 13790.0);
}

void TestMarkModel::edgePlan_data()
{
    QTest::addColumn<Range>("marks");
    QTest::addColumn<int>("edge");
    QTest::addColumn<Range>("plan");

    QTest::newRow("up to the start") << Range{5000, 9000} << int(MarkModel::UpToStart) << Range{3000, 5000};
    QTest::newRow("up to a start near 0") << Range{500, 9000} << int(MarkModel::UpToStart) << Range{0, 500};
    QTest::newRow("nothing before a start at 0") << Range{0, 9000} << int(MarkModel::UpToStart) << Range{};
    QTest::newRow("from the start") << Range{5000, 9000} << int(MarkModel::FromStart) << Range{5000, 7000};
    QTest::newRow("from a start near the end") << Range{39000, 0} << int(MarkModel::FromStart) << Range{39000, sourceMs};
    QTest::newRow("up to the end") << Range{5000, 9000} << int(MarkModel::UpToEnd) << Range{7000, 9000};
    QTest::newRow("up to the file's end without an end mark") << Range{5000, 0} << int(MarkModel::UpToEnd)
                                                              << Range{sourceMs - 2000, sourceMs};
}

void TestMarkModel::edgePlan()
{
    QFETCH(Range, marks);
    QFETCH(int, edge);
    QFETCH(Range, plan);

    model->mark(marks.start, marks.end);
    QCOMPARE(model->edgePlan(MarkModel::Edge(edge)), plan);
    QCOMPARE(model->marks(), marks);
}

void TestMarkModel::chapters_data()
{
    QTest::addColumn<int>("at");
    QTest::addColumn<int>("previous");
    QTest::addColumn<int>("next");
    QTest::addColumn<Range>("marked"); // by C at `at`; empty: none holds it

    QTest::newRow("first chapter") << 500 << -1 << 10000 << Range{0, 10000};
    QTest::newRow("on a start") << 10000 << 0 << 30000 << Range{10000, 25000};
    QTest::newRow("just after a start goes back one") << 10900 << 0 << 30000 << Range{10000, 25000};
    QTest::newRow("well into a chapter goes to its start") << 12000 << 10000 << 30000 << Range{10000, 25000};
    QTest::newRow("a seek that landed just before a start") << 9980 << 0 << 30000 << Range{0, 10000};
    QTest::newRow("between chapters") << 27000 << 10000 << 30000 << Range{};
    QTest::newRow("the last ends with the source") << 35000 << 30000 << -1 << Range{30000, sourceMs};
    QTest::newRow("the source's end") << int(sourceMs) << 30000 << -1 << Range{30000, sourceMs};
}

// A chapter past the source's end counts for nothing; marking one is a
// single change.
void TestMarkModel::chapters()
{
    QFETCH(int, at);
    QFETCH(int, previous);
    QFETCH(int, next);
    QFETCH(Range, marked);

    QSignalSpy chaptersSpy(model.get(), &MarkModel::chaptersChanged);
    model->setChapters({{"A", 0, 10000}, {"B", 10000, 25000}, {"C", 30000, 41000}, {"past the end", 41000, 50000}});
    QCOMPARE(chaptersSpy.count(), 1);
    QCOMPARE(model->previousChapterStart(at), qint64(previous));
    QCOMPARE(model->nextChapterStart(at), qint64(next));
    QCOMPARE(model->markChapter(at), marked != Range());
    QCOMPARE(model->marks(), marked);
    model->undo();
    QCOMPARE(model->marks(), Range());
    model->reset();
    QCOMPARE(model->chapters().size(), 4);
}

QTEST_GUILESS_MAIN(TestMarkModel)
#include "tst_markmodel.moc"
