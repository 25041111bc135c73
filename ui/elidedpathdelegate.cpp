#include "elidedpathdelegate.h"

#include <QApplication>
#include <QFontMetrics>
#include <QStyle>

QString ElidedPathDelegate::elidedPath(const QString &path, const QFontMetrics &metrics, int width)
{
    if (metrics.horizontalAdvance(path) <= width)
        return path;
    const int slash = path.lastIndexOf(QLatin1Char('/'));
    const QString name = path.mid(slash + 1);
    const QString ellipsis(QChar(0x2026));
    const QString separator = slash < 0 ? QString() : ellipsis + QLatin1Char('/');
    const int room = width - metrics.horizontalAdvance(name) - metrics.horizontalAdvance(QLatin1Char('/'));
    if (slash < 0 || room < metrics.horizontalAdvance(ellipsis))
        return separator + metrics.elidedText(name, Qt::ElideMiddle, width - metrics.horizontalAdvance(separator));
    return metrics.elidedText(path.left(slash), Qt::ElideLeft, room) + QLatin1Char('/') + name;
}

void ElidedPathDelegate::initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    // The style keeps a margin on either side of an item's text.
    const QStyle *style = option->widget ? option->widget->style() : QApplication::style();
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, option->widget) + 1;
    option->text = elidedPath(option->text, option->fontMetrics, option->rect.width() - 2 * margin);
}
