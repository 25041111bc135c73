#include "cuttool.h"
#include "signalguard.h"

#include <QCoreApplication>
#include <QTextStream>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    // A stopped cut leaves no temporary file behind.
    const SignalGuard guard;
    CutTool tool(out, err);
    return tool.run(QCoreApplication::arguments());
}
