// MainWindow: which files it can open. A file that holds no MP3 audio, or
// nothing at all, is named in a notice instead of being played; a history
// entry whose file is gone leaves the history.

#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "appsettings.h"
#include "scan/firstframelocator.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Whether the file holds an MPEG audio frame the cut can start from.
bool holdsAudio(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && FirstFrameLocator::locate(&file).found;
}

} // namespace

QString MainWindow::unusableReason(const QString &path) const
{
    const QFileInfo info(path);
    if (!info.isFile())
        return QString();
    if (info.size() == 0)
        return tr("\"%1\" is empty: there is nothing to play or cut.").arg(info.fileName());
    if (!holdsAudio(path))
        return tr("\"%1\" holds no MP3 audio: it cannot be played or cut.").arg(info.fileName());
    return QString();
}

// An entry picked from the history, or a path typed into the box. One whose
// file is gone leaves the history; the box then moves on to another entry.
void MainWindow::onCurrentFilePicked(int index)
{
    const QString path = ui->lineEdit_CurrentFile->itemText(index).trimmed();
    if (path.isEmpty())
        return;
    if (!QFileInfo::exists(path)) {
        ui->lineEdit_CurrentFile->removeItem(index);
        settings->removeHistoryEntry(path);
        showNotice(tr("\"%1\" is no longer there: it was moved or deleted. It leaves the list of opened files.")
                       .arg(QFileInfo(path).fileName()), true);
        return;
    }
    const QString unusable = unusableReason(path);
    if (!unusable.isEmpty())
        showNotice(unusable, true);
}
