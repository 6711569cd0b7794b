#include "documentfolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace dw {
namespace {

QString &lastFolder()
{
    static QString folder;
    return folder;
}

} // namespace

QString proposedFilePath(const QString &baseName, const QString &extension)
{
    QString folder = lastFolder();
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(baseName + QLatin1Char('.') + extension);
}

void rememberFolderOf(const QString &file)
{
    if (!file.isEmpty())
        lastFolder() = QFileInfo(file).absolutePath();
}

} // namespace dw
