#include "zemparol.h"

#include "connectionsetting.h"
#include "db/transaction.h"
#include "globals.h"
#include "runtime.h"
#include "w_busqueda.h"

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
    Q_UNUSED(commandline); // the program has no options
    dw::Transaction &sqlca = *rt::SQLCA();

    // The data source string is assigned first and replaced before the connection: only
    // the driver string with the database file reaches the driver manager.
    sqlca.DBMS = QStringLiteral("ODBC");
    sqlca.AutoCommit = false;
    sqlca.DBParm = QStringLiteral("ConnectString='DSN=zemparol;UID=admin;PWD=<******>'");
    // A connection configured in the settings (a directory on a server) takes the place
    // of the directory file; everything else stays the same.
    const QString configured = configuredConnectString(QStringLiteral("Calvexa"), rt::WordCap(appname));
    const QString ls_dbparm = !configured.isEmpty()
        ? driverDbParm(configured)
        : QStringLiteral("ConnectString='Driver={Microsoft Access Driver (*.mdb)}; "
                         "DBQ=zemparol.mdb;UID=admin;PWD=t4m9x2q7w805',"
                         "ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'");
    sqlca.DBMS = QStringLiteral("ODBC");
    sqlca.AutoCommit = false;
    sqlca.DBParm = ls_dbparm;

    sqlca.connect();
    if (sqlca.SQLCode != 0)
        rt::MessageBox(QStringLiteral("Error de conexion"),
                       QString::number(sqlca.SQLDBCode) + QStringLiteral(": ") + sqlca.SQLErrText);

    rt::Open(g_w_busqueda);
}

void zemparol::destroy()
{
    rt::DestroyGlobals();
}
