#include "customguiapplication.h"
#include "mainwindow.h"

#include <QFileInfo>
#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <QStyleFactory>

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

    MainWindow window;
    window.resetUi();
    window.show();
    QObject::connect(&app, &CustomGuiApplication::messageAvailable, &window, &MainWindow::openHandedFile);
    if (!file.isEmpty())
        window.openFile(file);

    // The window and the application object (with its translators) are
    // destroyed in this reverse order when main returns.
    return app.exec();
}
