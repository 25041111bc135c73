#ifndef ELIDEDPATHDELEGATE_H
#define ELIDEDPATHDELEGATE_H

#include <QStyledItemDelegate>

class QFontMetrics;

// Shows a path that does not fit by shortening its folder, never its file
// name first: "…/music/20260101_120001_song.mp3". The item keeps the whole
// path; only the painting is shortened.
class ElidedPathDelegate : public QStyledItemDelegate
{
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The path as it fits into width pixels: whole when it fits; else the
    // folder shortened from its left so the nearest folders stay; a file
    // name too long on its own is shortened in its middle, keeping its
    // beginning and its extension.
    static QString elidedPath(const QString &path, const QFontMetrics &metrics, int width);

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};

#endif // ELIDEDPATHDELEGATE_H
