#pragma once

#include "db/connection.h"

#include <QString>

#include <memory>

namespace dw {

// The transaction object (the program's SQLCA): set DBMS, AutoCommit and DBParm,
// then connect(); SQLCode, SQLDBCode and SQLErrText tell how it went. The connection
// ends when the object is destroyed (or on disconnect()).
//
// DBParm is "ConnectString='...',ConnectOption='...'". A connect string whose
// driver is "Microsoft Access Driver (*.mdb)" is served by the built-in driver on
// systems without that driver: it opens the DBQ file (relative to the current
// directory) read-only, an SQLite file or an Access file read through libmdb. Every
// other driver goes through the ODBC driver manager (SQLDriverConnect, no prompt). A
// PostgreSQL URI or keyword string ("postgresql://…", "host=… dbname=…") is read by
// PostgreSQL's own client library instead.
class Transaction
{
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    QString DBMS;
    bool AutoCommit = false;
    QString DBParm;

    // Results of the last connect: 0 success, -1 failure; the driver's code and text.
    long SQLCode = 0;
    long SQLDBCode = 0;
    QString SQLErrText;

    // DBParm taken apart (filled by connect(), also usable alone).
    [[nodiscard]] static QString connectString(const QString &dbParm);
    [[nodiscard]] static QString connectOption(const QString &dbParm);

    void connect();
    void disconnect();
    // After a statement failed, or before one when a lost link could not be made again:
    // when the link to the server was lost, connects again with the same DBParm, once.
    // True when a new connection is open, so the statement may be sent (again); false when
    // the connection was not lost (nothing changes) or the server still does not answer
    // (SQLDBCode and SQLErrText say why).
    [[nodiscard]] bool reconnectIfLost();
    // True while a lost link has not been made again.
    [[nodiscard]] bool linkLost() const { return m_linkLost; }
    [[nodiscard]] bool isConnected() const { return m_connection != nullptr; }
    // The open connection, or null when not connected.
    [[nodiscard]] Connection *connection() const { return m_connection.get(); }

private:
    std::unique_ptr<Connection> m_connection;
    bool m_linkLost = false;
};

} // namespace dw
