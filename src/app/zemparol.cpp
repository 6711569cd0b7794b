#include "zemparol.h"

#include "connectionsetting.h"
#include "db/transaction.h"
#include "directorylocation.h"
#include "globals.h"
#include "interaction.h"
#include "passwordexposure.h"
#include "picture.h"
#include "runtime.h"
#include "settings/settingsstore.h"
#include "w_busqueda.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {

const QString kCompany = u"Calvexa"_s;

void reportConnectionError(const dw::Transaction &sqlca)
{
    rt::MessageBox(u"Error de conexion"_s, QString::number(sqlca.SQLDBCode) + u": "_s + sqlca.SQLErrText);
}

} // namespace

QString zemparol::name()
{
    return QStringLiteral("zemparol");
}

void zemparol::create()
{
    appname = name();
    rt::CreateGlobals();
}

void zemparol::open(const QString &commandline)
{
    dw::Transaction &sqlca = *rt::SQLCA();

    // The data source string is assigned first and replaced before the connection: only
    // the driver string with the database file reaches the driver manager.
    sqlca.DBMS = QStringLiteral("ODBC");
    sqlca.AutoCommit = false;
    sqlca.DBParm = QStringLiteral("ConnectString='DSN=zemparol;UID=admin;PWD=<******>'");
    // zemparol.mdb in the start folder, unless the command line or the settings say where
    // the directory is (see directorylocation.h).
    const DirectoryConnection directory = locateDirectory(commandline, kCompany, rt::WordCap(appname));
    const QString ls_dbparm = directory.dbParm;
    sqlca.DBMS = QStringLiteral("ODBC");
    sqlca.AutoCommit = false;
    sqlca.DBParm = ls_dbparm;

    sqlca.connect();
    if (sqlca.SQLCode != 0) {
        reportConnectionError(sqlca);
        // Nothing said where the directory is (a start from the menu, in the home
        // folder): the user is asked once, and the answer is kept for the next start.
        if (directory.source == DirectoryConnection::Source::Nothing)
            askForTheDirectory();
    } else {
        if (!directory.pictureFolder.isEmpty())
            dw::setPictureRoot(directory.pictureFolder);
        if (directory.source == DirectoryConnection::Source::Configured)
            warnOfAnExposedPassword();
    }

    rt::Open(g_w_busqueda);
}

void zemparol::warnOfAnExposedPassword()
{
    // Only the user's own file: the machine-wide one has to be readable by every user.
    const dw::SettingsStore settings(kCompany, rt::WordCap(appname));
    const auto own = settings.userText(u"Conexion/ConnectString"_s);
    const QString warning = own ? exposedPasswordWarning(settings.userFile(), *own) : QString();
    if (!warning.isEmpty())
        rt::MessageBox(u"Configuración"_s, warning);
}

void zemparol::askForTheDirectory()
{
    dw::Transaction &sqlca = *rt::SQLCA();
    const QString question = u"¿En qué carpeta está el directorio?"_s;
    const QString explanation
        = u"El programa no encontró el directorio de miembros: la carpeta con el archivo zemparol.mdb y "
          u"su subcarpeta Fotos. Elija esa carpeta y el programa la recordará en los próximos inicios; "
          u"si la cancela, el programa se abre sin directorio."_s;
    const QString original = sqlca.DBParm;
    QString start = QDir::homePath();
    // Until a folder connects or the user cancels; a folder without the directory or one
    // that does not open is said and asked again.
    while (const std::optional<QString> folder
           = dw::interaction().chooseFolder(nullptr, question, explanation, start)) {
        start = *folder;
        const QString file = databaseInFolder(*folder);
        if (file.isEmpty()) {
            rt::MessageBox(u"Carpeta sin directorio"_s,
                           u"La carpeta «%1» no tiene el archivo %2. Elija la carpeta que lo contiene."_s.arg(
                               QDir::toNativeSeparators(*folder), databaseFileName()));
            continue;
        }
        sqlca.DBParm = accessDbParm(file);
        sqlca.connect();
        if (sqlca.SQLCode != 0) {
            reportConnectionError(sqlca);
            continue;
        }
        dw::setPictureRoot(QDir(*folder).absolutePath());
        if (!rememberFolder(kCompany, rt::WordCap(appname), QDir(*folder).absolutePath()))
            rt::MessageBox(u"Carpeta del directorio"_s,
                           u"El directorio se abrió, pero no se pudo guardar su carpeta en la "
                           u"configuración: el programa volverá a preguntar en el próximo inicio."_s);
        return;
    }
    // Cancelled: the program goes on without a directory, as after any failed start.
    sqlca.DBParm = original;
}

void zemparol::destroy()
{
    rt::DestroyGlobals();
}
