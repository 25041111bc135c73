#include "jobcheck.h"

#include "io/atomicfile.h"
#include "piecelist.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

#include <sys/stat.h>

namespace {

bool sameFile(const QString &a, const QString &b)
{
    struct stat sa;
    struct stat sb;
    return ::stat(QFile::encodeName(a).constData(), &sa) == 0 && ::stat(QFile::encodeName(b).constData(), &sb) == 0
        && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

QString JobCheck::tooManyPieces(qint64 count)
{
    if (count <= MaxPieces)
        return QString();
    return tr("%1 pieces, more than the %2 one job may cut").arg(count).arg(MaxPieces);
}

QStringList JobCheck::problems(const Job &job, const QVector<Piece> &pieces)
{
    QStringList found;
    const QFileInfo folder(job.folder);
    const bool folderUsable = folder.isDir() && folder.isWritable();
    if (!folder.exists() && !job.createFolder)
        found << tr("the output folder \"%1\" does not exist").arg(job.folder);
    else if (folder.exists() && !folder.isDir())
        found << tr("\"%1\" is not a folder").arg(job.folder);
    else if (folder.exists() && !folder.isWritable())
        found << tr("the output folder \"%1\" is not writable").arg(job.folder);

    QHash<QString, QString> taken;   // file name -> the piece that has it
    for (const Piece &piece : pieces) {
        if (piece.startFrame >= job.frameCount)
            found << tr("%1: starts after the audio ends").arg(piece.origin);
        else if (piece.endFrame <= piece.startFrame)
            found << tr("%1: holds no whole frame").arg(piece.origin);

        const QString &name = piece.fileName;
        if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
            found << tr("%1: \"%2\" is no file name").arg(piece.origin, name);
            continue;
        }
        // A later job's sweep would take it for a leftover and remove it.
        if (AtomicFile::isTemporaryName(QFile::encodeName(name))) {
            found << tr("%1: \"%2\" has the form of Snipwave's temporary files").arg(piece.origin, name);
            continue;
        }
        if (QFile::encodeName(name).size() > MaxNameBytes) {
            found << tr("%1: the name \"%2\" is longer than %3 bytes").arg(piece.origin, name).arg(MaxNameBytes);
            continue;
        }
        const auto other = taken.constFind(name);
        if (other != taken.constEnd()) {
            found << tr("%1 and %2 are both named \"%3\"").arg(other.value(), piece.origin, name);
            continue;
        }
        taken.insert(name, piece.origin);
        if (!folderUsable)
            continue;
        const QString path = QDir(job.folder).filePath(name);
        const QFileInfo target(path);
        if (!target.exists() && !target.isSymLink())
            continue;
        if (sameFile(path, job.source))
            found << tr("%1: \"%2\" is the source itself").arg(piece.origin, name);
        else if (target.isDir())
            found << tr("%1: \"%2\" is a folder").arg(piece.origin, name);
        else if (!job.overwrite)
            found << tr("%1: \"%2\" exists (--overwrite replaces it)").arg(piece.origin, path);
    }
    return found;
}
