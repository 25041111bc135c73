// Times what the application font costs at start-up: registering the
// bundled font, and the first text drawn with it (which loads its glyphs).
// Run it in a fresh process each time; the font database is per process.
//
//   QT_QPA_PLATFORM=offscreen fontload

#include <QElapsedTimer>
#include <QFont>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QStringList>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    QTextStream out(stdout);

    QElapsedTimer timer;
    timer.start();
    const int id = QFontDatabase::addApplicationFont(
        QStringLiteral(":font/SourceHanSansCN-Normal.ttf"));
    const QStringList families = QFontDatabase::applicationFontFamilies(id);
    const double registerMs = timer.nsecsElapsed() / 1e6;
    if (families.isEmpty()) {
        out << "the font resource is not there\n";
        return 1;
    }

    timer.restart();
    QFont font;
    font.setFamily(families.first());
    const int width = QFontMetrics(font).horizontalAdvance(
        QStringLiteral("保存并试听 Split & Preview 00:00:00\"000"));
    const double firstTextMs = timer.nsecsElapsed() / 1e6;

    out << "register " << registerMs << " ms, first text " << firstTextMs << " ms ("
        << families.first() << ", " << width << " px)\n";
    return 0;
}
