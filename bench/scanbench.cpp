// What one scan of a source costs per frame, with the file in the page cache:
// the walk every cut, batch job and --info starts with.
//
//   scanbench [ROUNDS] FILE...
//
// With SCANBENCH_MEMORY set, the file is read into memory first, which shows
// what the walk costs without the page cache's mapping.
// Prints, per file, the frames and the fastest and median processor time of
// a scan in nanoseconds per frame (default 15 rounds).

#include "scan/sourcescan.h"

#include <QCoreApplication>
#include <QBuffer>
#include <QFile>
#include <QTextStream>

#include <algorithm>
#include <ctime>
#include <vector>

namespace {

double cpuNowNs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + double(t.tv_nsec);
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    int rounds = 15;
    if (!files.isEmpty() && files.first().toInt() > 0)
        rounds = files.takeFirst().toInt();
    QTextStream out(stdout);
    for (const QString &name : files) {
        std::vector<double> perFrame;
        qint64 frames = 0;
        for (int r = 0; r < rounds; ++r) {
            QFile file(name);
            if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
                return 1;
            // From memory too: what the walk costs without the mapping's page faults.
            QByteArray bytes;
            QBuffer memory(&bytes);
            if (qEnvironmentVariableIsSet("SCANBENCH_MEMORY")) {
                bytes = file.readAll();
                memory.open(QIODevice::ReadOnly);
            }
            const double start = cpuNowNs();
            const SourceScan scan = SourceScan::run(bytes.isEmpty() ? static_cast<QIODevice *>(&file) : &memory);
            const double spent = cpuNowNs() - start;
            frames = scan.frames;
            perFrame.push_back(spent / double(std::max<qint64>(1, frames)));
        }
        std::sort(perFrame.begin(), perFrame.end());
        out << name << ": " << frames << " frames, " << QString::number(perFrame.front(), 'f', 1)
            << " ns a frame fastest, " << QString::number(perFrame[perFrame.size() / 2], 'f', 1) << " median\n";
    }
    return 0;
}
