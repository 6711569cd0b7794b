#include "directorylocation.h"

#include "connectionsetting.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

// The connection of a directory in the start folder: the relative file name, exactly as
// the program has always connected.
const QString kStartFolderDbParm = u"ConnectString='Driver={Microsoft Access Driver (*.mdb)}; "
                                   u"DBQ=zemparol.mdb;UID=admin;PWD=t4m9x2q7w805',"
                                   u"ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'"_s;

// The database a single path names: a folder's zemparol.mdb, or a .mdb file itself.
QString databaseOfPath(const QString &path)
{
    if (path.trimmed().isEmpty())
        return {};
    const QFileInfo info(path);
    if (info.isDir())
        return databaseInFolder(info.absoluteFilePath());
    if (info.isFile() && info.suffix().compare(u"mdb", Qt::CaseInsensitive) == 0)
        return QDir::cleanPath(info.absoluteFilePath());
    return {};
}

// Something the file system holds at `path`, whatever it is (a link that leads nowhere, a
// link loop, a FIFO, a device, a folder).
bool namesSomething(const QString &path)
{
    struct stat info
    {
    };
    return !path.trimmed().isEmpty() && ::lstat(QFile::encodeName(path).constData(), &info) == 0;
}

// The database file the program connects to for a path that is there but holds no
// directory it could open: a folder's zemparol.mdb, anything else itself. Connecting then
// fails with the path's own name, not the start folder's.
QString databaseNamedBy(const QString &path)
{
    const QFileInfo info(path);
    return QDir::cleanPath(info.isDir() ? QDir(info.absoluteFilePath()).filePath(databaseFileName())
                                        : info.absoluteFilePath());
}

} // namespace

QString databaseFileName()
{
    return u"zemparol.mdb"_s;
}

QString databaseInFolder(const QString &folder)
{
    if (folder.isEmpty())
        return {};
    const QFileInfo file(QDir(folder).filePath(databaseFileName()));
    return file.isFile() ? QDir::cleanPath(file.absoluteFilePath()) : QString();
}

QString databaseOfArguments(const QString &argumentText)
{
    for (const QString &argument : QProcess::splitCommand(argumentText)) {
        const QString file = databaseOfPath(argument);
        if (!file.isEmpty())
            return file;
    }
    QString whole = argumentText.trimmed();
    if (whole.size() >= 2 && whole.startsWith(u'"') && whole.endsWith(u'"'))
        whole = whole.mid(1, whole.size() - 2);
    return databaseOfPath(whole);
}

QString unusableArgumentPath(const QString &argumentText)
{
    for (const QString &argument : QProcess::splitCommand(argumentText)) {
        if (!argument.startsWith(u'-') && namesSomething(argument))
            return databaseNamedBy(argument);
    }
    QString whole = argumentText.trimmed();
    if (whole.size() >= 2 && whole.startsWith(u'"') && whole.endsWith(u'"'))
        whole = whole.mid(1, whole.size() - 2);
    return !whole.startsWith(u'-') && namesSomething(whole) ? databaseNamedBy(whole) : QString();
}

QString accessDbParm(const QString &file)
{
    // A path with ';', braces or outer blanks is braced to stay whole; a '}' in it doubled.
    QString path = QDir::toNativeSeparators(file);
    const bool plain
        = !path.contains(u';') && !path.contains(u'{') && !path.contains(u'}') && path.trimmed() == path;
    if (!plain)
        path = u'{' + path.replace(u'}', u"}}"_s) + u'}';
    return driverDbParm(u"Driver={Microsoft Access Driver (*.mdb)}; DBQ="_s + path
                        + u";UID=admin;PWD=t4m9x2q7w805"_s);
}

DirectoryConnection locateDirectory(const QString &argumentText, const QString &company,
                                    const QString &application)
{
    using Source = DirectoryConnection::Source;
    const auto inFile = [](Source source, const QString &file) {
        return DirectoryConnection{source, accessDbParm(file), QFileInfo(file).absolutePath()};
    };
    if (const QString file = databaseOfArguments(argumentText); !file.isEmpty())
        return inFile(Source::Argument, file);
    if (const QString named = unusableArgumentPath(argumentText); !named.isEmpty())
        return inFile(Source::Argument, named);
    if (QFileInfo(databaseFileName()).isFile())
        return {Source::StartFolder, kStartFolderDbParm, {}};
    for (const QString &folder : configuredFolders(company, application)) {
        if (const QString file = databaseInFolder(folder); !file.isEmpty())
            return inFile(Source::RememberedFolder, file);
    }
    if (const QString configured = configuredConnectString(company, application); !configured.isEmpty())
        return {Source::Configured, driverDbParm(configured), {}};
    return {Source::Nothing, kStartFolderDbParm, {}};
}
