// What the selection bar costs the GUI thread for a 1-hour file: an
// envelope of a column per frame (137,800 columns), the bar as wide as in
// the window. Times one zoom step, one scroll step and one delivery of
// envelope columns, each with the repaint it causes, at the whole view, a
// middle zoom and the closest view; and the mark model's own zoom step.
// The bar carries a chapter every 5 s (720 ticks). Each must stay well under
// 50 ms. With --chapters FILE it also times reading FILE's chapters (done
// off the GUI thread when the window opens a file) and handing them to the
// bar with their tooltips (on the GUI thread).
//
//   QT_QPA_PLATFORM=offscreen barbench [--rounds N] [--chapters FILE]

#include "markmodel.h"
#include "musicplayer.h"
#include "selectbar.h"
#include "tags/chapterreader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <functional>
#include <vector>

namespace {

constexpr qint64 hourMs = 3600 * 1000;
constexpr double frameMs = 1152 * 1000.0 / 44100;
constexpr int barWidth = 674; // the window's bar
constexpr int deliveryColumns = 4096;

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// One step and the repaint it causes, as the event loop would do it.
double timed(SelectBar &bar, const std::function<void()> &step)
{
    QElapsedTimer timer;
    timer.start();
    step();
    bar.grab();
    return timer.nsecsElapsed() / 1e6;
}

// As the window hands chapters to the bar: fractions of the duration and a
// tooltip each.
void showChapters(SelectBar &bar, const MarkModel &marks)
{
    QVector<double> fractions;
    QStringList tips;
    const double d = double(marks.duration());
    for (const Chapter &chapter : marks.chapters()) {
        fractions.append(double(chapter.startMs) / d);
        tips.append(chapter.title + QLatin1Char('\n') + MusicPlayer::durationText(chapter.startMs) + QStringLiteral(" – ")
                    + MusicPlayer::durationText(chapter.endMs));
    }
    bar.setChapterTicks(fractions, tips);
}

void showView(SelectBar &bar, const MarkModel &marks)
{
    const double d = double(marks.duration());
    bar.setView(marks.viewStart() / d, (marks.viewStart() + marks.viewLength()) / d);
    bar.setFrameGrid(marks.frameMs() / d, 0.0);
    bar.setStartPercent(float(double(marks.start()) / d));
    bar.setEndPercent(float(double(marks.end()) / d));
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption rounds(QStringLiteral("rounds"), QString(), QStringLiteral("N"), QStringLiteral("25"));
    const QCommandLineOption chaptersFile(QStringLiteral("chapters"), QString(), QStringLiteral("FILE"));
    parser.addOption(rounds);
    parser.addOption(chaptersFile);
    parser.process(app);
    const int roundCount = std::max(1, parser.value(rounds).toInt());

    SelectBar bar;
    bar.resize(barWidth, 20);
    bar.setEnabled(true);
    bar.setColor(QColor(QStringLiteral("#009F3C")));
    const int columns = int(hourMs / frameMs);
    QVector<float> values(columns);
    for (float &v : values)
        v = float(QRandomGenerator::global()->generateDouble());
    bar.startEnvelope(columns);
    bar.setEnvelopeColumns(0, values);

    MarkModel marks;
    marks.setDuration(hourMs);
    marks.setFrameMs(frameMs);
    marks.mark(hourMs / 3, 2 * hourMs / 3);
    bar.setPlayhead(0.5);
    QVector<Chapter> chapters;
    for (qint64 ms = 0; ms < hourMs; ms += 5000)
        chapters.append({QStringLiteral("Chapter %1").arg(chapters.size() + 1), ms, std::min(ms + 5000, hourMs)});
    marks.setChapters(chapters);
    showChapters(bar, marks);

    QTextStream out(stdout);
    if (parser.isSet(chaptersFile)) {
        std::vector<double> reading, delivery;
        int count = 0;
        for (int r = 0; r < roundCount; ++r) {
            QElapsedTimer timer;
            timer.start();
            const QVector<Chapter> read = ChapterReader::read(parser.value(chaptersFile)).chapters;
            reading.push_back(timer.nsecsElapsed() / 1e6);
            count = read.size();
            marks.setChapters({});
            delivery.push_back(timed(bar, [&] {
                marks.setChapters(read);
                showChapters(bar, marks);
            }));
        }
        out << count << " chapters: reading (worker thread) " << QString::number(median(reading), 'f', 2)
            << " ms, to the bar with a repaint (GUI thread) " << QString::number(median(delivery), 'f', 2) << " ms\n\n";
    }
    out << "| view | zoom step ms | scroll step ms | columns delivery ms | repaint ms |\n|---|---|---|---|---|\n";
    const struct { const char *name; double factor; } views[] = {
        {"whole hour", 1.0}, {"1/64 (56 s)", 64.0}, {"closest (20 frames)", 1e9}};
    for (const auto &view : views) {
        std::vector<double> zoom, scroll, delivery, repaint;
        for (int r = 0; r < roundCount; ++r) {
            marks.showAll();
            marks.zoom(view.factor, hourMs / 2.0);
            showView(bar, marks);
            // In and out again around the middle, so that the view stays.
            zoom.push_back(timed(bar, [&] {
                marks.zoom(view.factor > 1 ? 0.5 : 2.0, hourMs / 2.0);
                showView(bar, marks);
            }));
            marks.zoom(view.factor > 1 ? 2.0 : 0.5, hourMs / 2.0);
            showView(bar, marks);
            scroll.push_back(timed(bar, [&] {
                marks.scroll(0.1);
                showView(bar, marks);
            }));
            delivery.push_back(timed(bar, [&] {
                bar.setEnvelopeColumns((r * deliveryColumns) % (columns - deliveryColumns),
                                       values.mid(0, deliveryColumns));
            }));
            repaint.push_back(timed(bar, [&] { bar.update(); }));
        }
        out << "| " << view.name << " | " << QString::number(median(zoom), 'f', 2) << " | "
            << QString::number(median(scroll), 'f', 2) << " | " << QString::number(median(delivery), 'f', 2) << " | "
            << QString::number(median(repaint), 'f', 2) << " |\n";
    }
    return 0;
}
