#include "customguiapplication.h"
#include "mainwindow.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>
#include <QStyleFactory>
#include <QTranslator>

int main(int argc, char *argv[])
{
    // Both must be set before the application object exists.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);

    CustomGuiApplication app(argc, argv, QStringLiteral("snipwave"));
    QCoreApplication::setApplicationVersion(QStringLiteral(SNIPWAVE_VERSION));

    // Another instance runs: end quietly. Leaving main destroys the
    // application object, which detaches this process from the segment.
    if (app.isRunning())
        return 0;

    QApplication::setStyle(QStyleFactory::create(QStringLiteral("fusion")));

    const int fontId = QFontDatabase::addApplicationFont(
        QStringLiteral(":font/SourceHanSansCN-Normal.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(fontId);
    if (!families.isEmpty()) {
        QFont font;
        font.setFamily(families.first());
        QApplication::setFont(font);
    }

    // Installed even when the catalogue does not load: the texts then stay
    // in English.
    QTranslator translator;
    const bool catalogueLoaded = translator.load(QStringLiteral(":snipwave_zh_CN.qm"));
    Q_UNUSED(catalogueLoaded)
    QCoreApplication::installTranslator(&translator);

    MainWindow window;
    window.resetUi();
    window.show();

    // The window, the translator and the application object are destroyed
    // in this reverse order when main returns.
    return app.exec();
}
