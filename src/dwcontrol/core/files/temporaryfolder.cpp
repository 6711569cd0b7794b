#include "files/temporaryfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <unistd.h>

namespace dw {

namespace {

// An absolute folder other than the root, which this user can create files in.
bool usable(const QString &folder)
{
    if (folder.isEmpty() || !QDir::isAbsolutePath(folder))
        return false;
    const QFileInfo info(folder);
    return info.isDir() && QDir::cleanPath(info.canonicalFilePath()) != QStringLiteral("/")
        && ::access(QFile::encodeName(folder).constData(), W_OK | X_OK) == 0;
}

} // namespace

QString intendedTemporaryFolder()
{
    const QString given = qEnvironmentVariable("TMPDIR");
    return given.isEmpty() ? QStringLiteral("/tmp") : given;
}

QString temporaryFolder()
{
    const QString intended = intendedTemporaryFolder();
    if (usable(intended))
        return QDir::cleanPath(intended);
    const QString cache = QStandardPaths::writableLocation(QStandardPaths::CacheLocation);
    if (!cache.isEmpty() && QDir().mkpath(cache) && usable(cache))
        return QDir::cleanPath(cache);
    return {};
}

} // namespace dw
