#include "io/atomicfile.h"
#include "customguiapplication.h"
#include "mainwindow.h"
#include "quitsignals.h"

#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <QStyleFactory>

#include <cstdlib>

namespace {

// `snipwave FILE`: the first argument that is not an option, as an absolute
// path (a running instance has another working folder).
QString fileArgument(const QStringList &arguments)
{
    for (const QString &argument : arguments.mid(1)) {
        if (!argument.startsWith(QLatin1Char('-')))
            return QFileInfo(argument).absoluteFilePath();
    }
    return QString();
}

} // namespace

int main(int argc, char *argv[])
{
    // Both must be set before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);

    CustomGuiApplication app(argc, argv, QStringLiteral("snipwave"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SNIPWAVE_VERSION));

    // Another instance runs: hand it the file, if any, and end. Leaving main
    // destroys the application object, which detaches this process from
    // the segment.
    const QString file = fileArgument(QCoreApplication::arguments());
    if (app.isRunning()) {
        if (!file.isEmpty())
            app.sendMessage(file);
        return 0;
    }

    // Qt ends the process with exit() when the X server goes away: a cut's
    // unfinished output goes with it, as it does when the window closes.
    std::atexit(AtomicFile::removeTemporariesNow);

    QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));

    const int fontId = QFontDatabase::addApplicationFont(
        QStringLiteral(":font/SourceHanSansCN-Normal.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
    if (!families.isEmpty()) {
        QFont font;
        font.setFamily(families.first());
        QApplication::setFont(font);
    }

    app.installTranslations();

    // Made before the window so that it outlives it: a signal while the
    // window is being destroyed (and waits for a running cut) is still taken.
    QuitSignals quitSignals(AtomicFile::removeTemporariesNow);
    MainWindow window;
    window.resetUi();
    window.show();
    QObject::connect(&app, &CustomGuiApplication::messageAvailable, &window, &MainWindow::openHandedFile);

    // Told to end by a signal, the program ends as when the window is
    // closed; quit() also ends a dialog's loop that may be running.
    QObject::connect(&quitSignals, &QuitSignals::received, &window, [&window] {
        window.close();
        QCoreApplication::quit();
    });
    if (!file.isEmpty())
        window.openFile(file);

    // The window and the application object (with its translators) are
    // destroyed in this reverse order when main returns.
    return app.exec();
}
