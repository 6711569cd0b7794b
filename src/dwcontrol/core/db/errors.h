#pragma once

#include "db/connection.h"

namespace dw {

// SQLDBCode values of the failures the program's own drivers report. A statement the
// SQLite engine refuses reports SQLite's extended result code instead, and an ODBC
// driver its native error code.
namespace dberror {
inline constexpr long NoInterface = 1001; // DBMS names no interface this build has
inline constexpr long BadConnectString = 1002; // DBParm or the connect string lacks what is needed
inline constexpr long FileMissing = 1003; // the DBQ file does not exist
inline constexpr long FileUnreadable
    = 1004; // it exists but cannot be read (permissions, a folder, a device, a pipe)
inline constexpr long NotADatabase = 1005; // neither an Access nor an SQLite file
inline constexpr long Corrupt = 1006; // a database file that is truncated or damaged
inline constexpr long Unsupported = 1007; // an Access format the built-in driver does not read
inline constexpr long WrongPassword = 1008; // the password does not open the database
inline constexpr long ReadOnly = 1009; // a statement that would write was refused
inline constexpr long OdbcUnavailable = 1010; // the ODBC driver manager could not be set up
inline constexpr long StatementStopped = 1011; // a statement ran past its time or memory limit
inline constexpr long TooLarge = 1012; // larger than its format allows
inline constexpr long LocalCopy = 1013; // the local copy of a database cannot be written (folder, disk)
inline constexpr long LeftoverJournal = 1014; // a writer stopped half-way left its journal beside the file
inline constexpr long Server = 1015; // a PostgreSQL server refused the connection or a statement
} // namespace dberror

[[nodiscard]] inline DbError makeError(long code, const QString &text)
{
    return DbError{code, text, {}};
}

// A statement stopped at the time limit of the settings; every driver says it in these words.
[[nodiscard]] inline DbError timeLimitError(int seconds)
{
    return makeError(dberror::StatementStopped,
                     QStringLiteral("La consulta se detuvo: pasó del límite de %1 %2 de las consultas.")
                         .arg(seconds)
                         .arg(seconds == 1 ? QStringLiteral("segundo") : QStringLiteral("segundos")));
}

} // namespace dw
