#include "db/transaction.h"

#include "db/builtindriver.h"
#include "db/connectionopener.h"
#include "db/connectstring.h"
#include "db/errors.h"
#include "db/odbcconnection.h"
#include "db/pgconnection.h"
#include "db/pgconnectstring.h"

namespace dw {
namespace {

ConnectionOpener &replacementOpener()
{
    static ConnectionOpener opener;
    return opener;
}

} // namespace

void setConnectionOpener(ConnectionOpener opener)
{
    replacementOpener() = std::move(opener);
}

Transaction::Transaction() = default;
Transaction::~Transaction() = default;

QString Transaction::connectString(const QString &dbParm)
{
    return dbParmValue(dbParm, QStringLiteral("ConnectString"));
}

QString Transaction::connectOption(const QString &dbParm)
{
    return dbParmValue(dbParm, QStringLiteral("ConnectOption"));
}

void Transaction::connect()
{
    disconnect();
    m_linkLost = false;
    SQLCode = 0;
    SQLDBCode = 0;
    SQLErrText.clear();

    DbError error;
    const QString text = connectString(DBParm);
    const ConnectString parts(text);
    if (DBMS.trimmed().compare(u"ODBC", Qt::CaseInsensitive) != 0) {
        error = makeError(dberror::NoInterface,
                          QStringLiteral("La interfaz de base de datos «%1» no está disponible.").arg(DBMS));
    } else if (text.trimmed().isEmpty()) {
        error = makeError(dberror::BadConnectString,
                          QStringLiteral("El parámetro DBParm no contiene ConnectString."));
    } else if (replacementOpener()) {
        m_connection = replacementOpener()(text, error);
    } else if (isPostgresConnectString(text)) {
        // A PostgreSQL URI or keyword string goes to the server's own client library.
        m_connection = openPostgres(text, error);
    } else {
#ifndef Q_OS_WIN
        // Without the Access driver on this system, the built-in driver serves its files.
        const QString driver = parts.value(QStringLiteral("Driver")).value_or(QString()).trimmed();
        if (driver.compare(QStringView(AccessDriverName), Qt::CaseInsensitive) == 0) {
            const QString file = parts.value(QStringLiteral("DBQ")).value_or(QString());
            if (file.isEmpty()) {
                error = makeError(dberror::BadConnectString,
                                  QStringLiteral("La cadena de conexión no indica el archivo de "
                                                 "base de datos (DBQ)."));
            } else {
                m_connection
                    = openBuiltInAccess(file, parts.value(QStringLiteral("PWD")).value_or(QString()), error);
            }
        } else
#endif
        {
            m_connection = openOdbc(text, AutoCommit, error);
        }
    }
    if (m_connection)
        return;
    SQLCode = -1;
    SQLDBCode = error.code;
    // Whatever a driver echoes back, the password never reaches a message.
    SQLErrText = withoutPassword(error.text, text);
}

bool Transaction::reconnectIfLost()
{
    if (m_connection ? !m_connection->lost() : !m_linkLost)
        return false;
    connect();
    m_linkLost = !isConnected();
    return isConnected();
}

void Transaction::disconnect()
{
    m_connection.reset();
}

} // namespace dw
