// How fast the loudness envelope of a file arrives, the way the window
// receives it: from start() to the first columns, to each quarter of the bar
// and to finished(), on the event loop of the calling thread. The CPU time
// used beside the wall time shows how many cores worked.
//
//   envelopebench [--rounds N] [--columns N] FILE...
//
// Prints one table row per file, medians over the rounds (default 9).

#include "analysis/loudnessenvelope.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

struct Round
{
    double firstMs = -1;
    double quarterMs[4] = {-1, -1, -1, -1};
    double cpuMs = 0;
    int deliveries = 0;
};

double cpuNowMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1000.0 + t.tv_nsec / 1e6;
}

Round runOnce(const QString &file, int columns)
{
    LoudnessEnvelope envelope;
    QEventLoop loop;
    Round round;
    int received = 0;
    QElapsedTimer wall;
    QObject::connect(&envelope, &LoudnessEnvelope::columnsReady, [&](int, const QVector<float> &values) {
        const double now = wall.nsecsElapsed() / 1e6;
        if (round.firstMs < 0)
            round.firstMs = now;
        received += values.size();
        ++round.deliveries;
        for (int q = 0; q < 4; ++q) {
            if (round.quarterMs[q] < 0 && received * 4 >= columns * (q + 1))
                round.quarterMs[q] = now;
        }
    });
    QObject::connect(&envelope, &LoudnessEnvelope::finished, &loop, &QEventLoop::quit);
    QObject::connect(&envelope, &LoudnessEnvelope::failed, &loop, &QEventLoop::quit);
    const double cpuStart = cpuNowMs();
    wall.start();
    envelope.start(file, columns);
    loop.exec();
    round.quarterMs[3] = wall.nsecsElapsed() / 1e6;
    round.cpuMs = cpuNowMs() - cpuStart;
    return round;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption rounds(QStringLiteral("rounds"), QString(), QStringLiteral("N"), QStringLiteral("9"));
    const QCommandLineOption columns(QStringLiteral("columns"), QString(), QStringLiteral("N"), QStringLiteral("632"));
    parser.addOptions({rounds, columns});
    parser.process(app);
    const int roundCount = std::max(1, parser.value(rounds).toInt());
    const int columnCount = std::max(1, parser.value(columns).toInt());

    QTextStream out(stdout);
    out << QStringLiteral("| file | first columns ms | 1/4 | 1/2 | 3/4 | whole bar ms | CPU ms | CPU / wall | deliveries |\n"
                          "|---|---|---|---|---|---|---|---|---|\n");
    for (const QString &file : parser.positionalArguments()) {
        runOnce(file, columnCount); // warms the page cache and the pool
        std::vector<double> first, q1, q2, q3, whole, cpu, ratio, deliveries;
        for (int r = 0; r < roundCount; ++r) {
            const Round round = runOnce(file, columnCount);
            first.push_back(round.firstMs);
            q1.push_back(round.quarterMs[0]);
            q2.push_back(round.quarterMs[1]);
            q3.push_back(round.quarterMs[2]);
            whole.push_back(round.quarterMs[3]);
            cpu.push_back(round.cpuMs);
            ratio.push_back(round.cpuMs / round.quarterMs[3]);
            deliveries.push_back(round.deliveries);
        }
        out << "| " << QFileInfo(file).fileName() << " | " << QString::number(median(first), 'f', 1) << " | "
            << QString::number(median(q1), 'f', 0) << " | " << QString::number(median(q2), 'f', 0) << " | "
            << QString::number(median(q3), 'f', 0) << " | " << QString::number(median(whole), 'f', 0) << " | "
            << QString::number(median(cpu), 'f', 0) << " | " << QString::number(median(ratio), 'f', 2) << " | "
            << median(deliveries) << " |\n";
        out.flush();
    }
    return 0;
}
