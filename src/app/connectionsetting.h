#pragma once

#include <QString>
#include <QStringList>

// The connection an administrator configures: the value "Conexion/ConnectString" of the
// program's settings, which points the program at another database (a server) instead
// of zemparol.mdb. The user's settings are read first, then the machine-wide ones
// (/etc/xdg/<company>/<application>.conf on Linux, HKEY_LOCAL_MACHINE on Windows).
// A value that is empty or blanks counts as no setting.
[[nodiscard]] QString configuredConnectString(const QString &company, const QString &application);

// The directory folders the settings name in "Conexion/Carpeta": the user's, then the
// machine-wide one, each only when it is not blank. The user's is the folder chosen when
// the program last asked where the directory is.
[[nodiscard]] QStringList configuredFolders(const QString &company, const QString &application);
// Remembers `folder` as the user's "Conexion/Carpeta"; false when the settings cannot be written.
[[nodiscard]] bool rememberFolder(const QString &company, const QString &application, const QString &folder);

// The DBParm that hands `connectString` unchanged to the driver manager, connecting
// without prompting, as the program's own string does.
[[nodiscard]] QString driverDbParm(const QString &connectString);
