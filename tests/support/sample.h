#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

namespace dw {
class Transaction;
}

namespace testsupport {

// The sample directory (zemparol.mdb and Fotos/), generated once per test process into a
// temporary folder by the sample generator. Fails the calling test loudly when it
// cannot be made (returns an empty text).
[[nodiscard]] QString sampleDirectory();
// Members of the sample directory that tests can count on (every seed, at least 17
// members): their type and the awkward value each one carries.
namespace sample {
constexpr long kResearcher = 1; // "Miembro Investigador", every field filled
constexpr long kCommittee = 2; // "Miembro del CTA"
constexpr long kExternal = 3; // "Miembro Externo"
constexpr long kDoctoralStudent = 4; // "Doctorado", tutor "1", cotutor "2"
constexpr long kNullArea = 5; // area_aplicacion null
constexpr long kEmptyPhoto = 6; // foto ''
constexpr long kMissingPhoto = 7; // foto names a file that is not there
constexpr long kApostrophe = 8; // "Patricio O'Farrill Baeza"
constexpr long kTrailingBlankType = 9; // "Miembro Investigador " (trailing blank)
constexpr long kNullType = 10; // tipo_miembro_red null
constexpr long kNullSni = 11; // nivel_sni null
constexpr long kLongProjects = 12; // proyectos of more than 5000 characters
constexpr long kUnmatchedTutor = 13; // "Maestría", tutor a name no member id matches
constexpr long kRefusedPaths = 14; // foto "..\\Fotos\\...", logo "\\\\servidor\\..."
constexpr long kBachelorStudent = 15; // "Licenciatura"
constexpr long kPostdocStudent = 16; // "Posdoctorado"
constexpr long kSecondExternal = 17; // "Miembro Externo"
} // namespace sample

// The sample generator program of this build.
[[nodiscard]] QString generatorProgram();
// A file of the repository (the guide, a script) by its path below the repository's root.
[[nodiscard]] QString sourceFile(const QString &relativePath);

// The folder of the Access files used by driver tests; a missing folder fails the test.
[[nodiscard]] QString fixturesDirectory();
// Writes the fixture `name` (a file of that folder; one ending in ".z" is stored compressed
// the way qCompress writes and is unpacked) to `target`, with its bytes changed by `patch`
// when given; false when it cannot be read or written.
bool writeFixture(const QString &name, const QString &target,
                  const std::function<void(QByteArray &)> &patch = {});
// Configures and connects a transaction the way the program does, on a database file
// (absolute path) with a password; true when connected.
bool connectAccess(dw::Transaction &transaction, const QString &file,
                   const QString &password = QStringLiteral("t4m9x2q7w805"));
// Connects a transaction to the sample directory's database the same way; false when the
// sample cannot be made or does not open.
[[nodiscard]] bool connectSample(dw::Transaction &transaction);

} // namespace testsupport
