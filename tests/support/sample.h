#pragma once

#include <QString>

namespace dw {
class Transaction;
}

namespace testsupport {

// The sample directory (zemparol.mdb and Fotos/), generated once per test process into a
// temporary folder by the sample generator. Fails the calling test loudly when it
// cannot be made (returns an empty text).
[[nodiscard]] QString sampleDirectory();
// The folder of the Access files used by driver tests (empty when it is not there).
[[nodiscard]] QString fixturesDirectory();
// Configures and connects a transaction the way the program does, on a database file
// (absolute path) with a password; true when connected.
bool connectAccess(dw::Transaction &transaction, const QString &file,
                   const QString &password = QStringLiteral("t4m9x2q7w805"));

} // namespace testsupport
