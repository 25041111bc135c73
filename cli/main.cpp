#include "cuttool.h"
#include "signalguard.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextCodec>
#include <QTextStream>

#include <cstdio>

namespace {

// File names are bytes; Qt holds them as text decoded in the locale's
// encoding, and bytes that are not valid there come back as other bytes,
// naming another file. Such an argument is refused rather than changed.
int refuseChangedArgument(int argc, char *argv[], const QStringList &arguments, QTextStream &err)
{
    for (int i = 1; i < argc && i < arguments.size(); ++i) {
        if (QFile::encodeName(arguments.at(i)) == QByteArray(argv[i]))
            continue;
        err << "snipwave-cut: '" << arguments.at(i) << "' is not valid "
            << QTextCodec::codecForLocale()->name() << " text: as a name it would stand for another file\n"
            << CutTool::usage();
        err.flush();
        return CutTool::UsageError;
    }
    return CutTool::Success;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // A stopped cut leaves no temporary file behind.
    const SignalGuard guard;
    const QStringList arguments = QCoreApplication::arguments();
    if (const int refused = refuseChangedArgument(argc, argv, arguments, err))
        return refused;
    CutTool tool(out, err);
    return tool.run(arguments);
}
