#include "support/sample.h"

#include "db/transaction.h"

namespace testsupport {

bool connectAccess(dw::Transaction &transaction, const QString &file, const QString &password)
{
    // The same settings the program's start-up uses, only the file and password differ.
    transaction.DBMS = QStringLiteral("ODBC");
    transaction.AutoCommit = false;
    transaction.DBParm = QStringLiteral("ConnectString='Driver={Microsoft Access Driver (*.mdb)}; "
                                        "DBQ=%1;UID=admin;PWD=%2',"
                                        "ConnectOption='SQL_DRIVER_CONNECT,SQL_DRIVER_NOPROMPT'")
                             .arg(file, password);
    transaction.connect();
    return transaction.SQLCode == 0;
}

bool connectSample(dw::Transaction &transaction)
{
    const QString directory = sampleDirectory();
    return !directory.isEmpty() && connectAccess(transaction, directory + QStringLiteral("/zemparol.mdb"));
}

} // namespace testsupport
