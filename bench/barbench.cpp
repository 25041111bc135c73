// What the selection bar costs the GUI thread for a 1-hour file: an
// envelope of a column per frame (137,800 columns), the bar as wide as in
// the window. Times one zoom step, one scroll step and one delivery of
// envelope columns, each with the repaint it causes, at the whole view, a
// middle zoom and the closest view; and the mark model's own zoom step.
// Each must stay well under 50 ms.
//
//   QT_QPA_PLATFORM=offscreen barbench [--rounds N]

#include "markmodel.h"
#include "selectbar.h"

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
    parser.addOption(rounds);
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

    QTextStream out(stdout);
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
