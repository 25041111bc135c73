#include "stylesheetreader.h"

#include <QFile>

namespace {

QString buttonStyle(const char *border, const char *text,
                    const char *normalTop, const char *normalBottom,
                    const char *pressedTop, const char *pressedBottom,
                    const char *hoverTop, const char *hoverBottom)
{
    const QString gradient = QStringLiteral(
        "qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 %1, stop:1 %2)");
    return QStringLiteral("QPushButton{border-style:none;border:1px solid %1;color:%2;"
                          "padding:1px;min-height:15px;border-radius:5px;background:%3;}\n")
               .arg(QLatin1String(border), QLatin1String(text),
                    gradient.arg(QLatin1String(normalTop), QLatin1String(normalBottom)))
        + QStringLiteral("QPushButton:pressed{background:%1;}\n")
              .arg(gradient.arg(QLatin1String(pressedTop), QLatin1String(pressedBottom)))
        + QStringLiteral("QPushButton:hover{background:%1;}\n")
              .arg(gradient.arg(QLatin1String(hoverTop), QLatin1String(hoverBottom)));
}

} // namespace

const QString grayButtonStyle = buttonStyle("#B6B6B6", "#57595B", "#E4E4E4", "#E4E4E4",
                                            "#E4E4E4", "#E4E4E4", "#F6F6F6", "#F6F6F6");
const QString blueButtonStyle = buttonStyle("#C0DCF2", "#386487", "#DEF0FE", "#C0DEF6",
                                            "#E4E4E4", "#E4E4E4", "#F6F6F6", "#F6F6F6");
const QString darkButtonStyle = buttonStyle("#242424", "#DCDCDC", "#484848", "#383838",
                                            "#484848", "#383838", "#646464", "#525252");

const QString timeEditStyle = QStringLiteral(
    "/* arrows of the time fields */\n"
    "QTimeEdit::up-button,QDoubleSpinBox::up-button,QSpinBox::up-button{"
    "subcontrol-origin:border;subcontrol-position:top right;"
    "image: url(:/images/up.svg);padding-left:16px;padding-right:-10px;"
    "width: 36;height: 17px;}\n"
    "QTimeEdit::down-button,QDoubleSpinBox::down-button,QSpinBox::down-button{"
    "subcontrol-origin:border;subcontrol-position:bottom right;"
    "image: url(:/images/down.svg);width: 10px;height: 5px;"
    "padding-right:3px;padding-bottom:5px;}\n");

StyleSheetReader::StyleSheetReader(QObject *parent)
    : QObject(parent)
{
}

QString StyleSheetReader::styleSheetPath(int index)
{
    switch (index) {
    case 2:
        return QStringLiteral(":/appStyle/lightblue.css");
    case 3:
        return QStringLiteral(":/appStyle/flatwhite.css");
    case 4:
        return QStringLiteral(":/appStyle/psblack.css");
    default:
        return QString();
    }
}

QString StyleSheetReader::readStyleSheet(int index) const
{
    const QString path = styleSheetPath(index);
    if (path.isEmpty())
        return QString();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return QString();

    QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    if (nul >= 0)
        bytes.truncate(nul);
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    return QString::fromUtf8(bytes);
}
