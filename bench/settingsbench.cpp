// The settings store's start on a runaway settings file: a history list of
// millions of entries (as a script gone wrong writes). Prints the time load()
// and save() take, the peak memory and the size written back.
//
//   settingsbench [ENTRIES]      (default 6000000, about 138 MB)

#include "appsettings.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <sys/resource.h>

int main(int argc, char *argv[])
{
    const int entries = argc > 1 ? atoi(argv[1]) : 6000000;
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
    QCoreApplication app(argc, argv);

    AppSettings settings; // makes the folder
    const QString path = home.path() + QStringLiteral("/snipwave/settings.json");
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return 1;
        file.write("{\"Common\": {\"Operation\": {\"OpenHistoryList\": [\n");
        for (int i = 0; i < entries; ++i)
            file.write(QByteArray("\"/music/track ") + QByteArray::number(i % 1000) + ".mp3\",\n");
        file.write("\"/last.mp3\"]}}}\n");
    }
    const qint64 before = QFileInfo(path).size();

    QElapsedTimer timer;
    timer.start();
    settings.load();
    const qint64 loadMs = timer.restart();
    settings.save();
    const qint64 saveMs = timer.elapsed();

    struct rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("file %.1f MB: load %lld ms, save %lld ms, written back %lld bytes, peak RSS %ld MB\n",
                before / 1e6, static_cast<long long>(loadMs), static_cast<long long>(saveMs),
                static_cast<long long>(QFileInfo(path).size()), usage.ru_maxrss / 1024);
    return 0;
}
