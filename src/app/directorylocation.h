#pragma once

#include <QString>

// Where the program finds its directory (a folder holding zemparol.mdb and Fotos), first
// match wins: a folder or .mdb file named on the command line (or, when what it names is
// there but unusable, that name, so the failure says it); the start folder when it
// holds zemparol.mdb; the folder remembered in the settings (Conexion/Carpeta, the user's
// before the machine's); a connection configured in the settings (Conexion/ConnectString).
// With none of them the program connects to zemparol.mdb in the start folder, which fails.

// The name the directory's database has inside its folder.
[[nodiscard]] QString databaseFileName();

// The database file of `folder` (absolute), or empty when the folder holds no regular
// file named zemparol.mdb.
[[nodiscard]] QString databaseInFolder(const QString &folder);

// The database file the command line's argument text names (absolute), or empty: a
// folder holding zemparol.mdb, or an existing file ending in ".mdb" (any case). The
// arguments are split as a command line (double quotes group blanks); when no single
// argument names a directory, the whole text is tried as one path, so an unquoted path
// with blanks is found too. Anything else (options, missing paths) is ignored.
[[nodiscard]] QString databaseOfArguments(const QString &argumentText);

// When no argument names a directory: the database an argument that is there all the same
// names (absolute), or empty. A folder without zemparol.mdb names its zemparol.mdb; a FIFO,
// a device, a link that leads nowhere or loops names itself. The start then fails with that
// name, instead of trying the start folder the user did not mean. Options and missing paths
// name nothing.
[[nodiscard]] QString unusableArgumentPath(const QString &argumentText);

// The driver string that connects to the Access database `file` without prompting, as
// the program's own string does for zemparol.mdb in the start folder.
[[nodiscard]] QString accessDbParm(const QString &file);

// What the start-up connects to.
struct DirectoryConnection
{
    enum class Source { Argument, StartFolder, RememberedFolder, Configured, Nothing };
    Source source = Source::Nothing;
    QString dbParm;
    // The folder whose Fotos the pictures come from; empty keeps the start folder.
    QString pictureFolder;
};

// Looks the directory up in the order above. `company` and `application` name the settings.
[[nodiscard]] DirectoryConnection locateDirectory(const QString &argumentText, const QString &company,
                                                  const QString &application);
