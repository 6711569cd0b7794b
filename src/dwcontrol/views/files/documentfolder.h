#pragma once

#include <QString>

namespace dw {

// Where a file the user saves or prints to is proposed: the folder used last for that
// kind of document (kept in the user's settings, so it outlives the session), else the
// user's documents folder (else the home folder). Kinds are short names: "guardar" for
// saved listings, and for printed files the part of the file's base name before its
// first '-' ("ficha-ana-perez" is a "ficha", "directorio" a "directorio").
[[nodiscard]] QString proposedFilePath(const QString &baseName, const QString &extension,
                                       const QString &kind = QString());
// Remembers the folder of a file the user chose for that kind, for the next proposal.
void rememberFolderOf(const QString &file, const QString &kind = QString());
// The kind of a printed file's base name (see above).
[[nodiscard]] QString documentKind(const QString &baseName);

// A file base name made from any text that every file system takes: letters without
// their accents, digits, and '-' for every run of anything else, lower case, at most
// 80 characters, never a device name; `fallback` when nothing is left.
[[nodiscard]] QString safeFileBaseName(const QString &text, const QString &fallback);

// One of the program's settings ("Grupo/Clave"), the user's or else the machine-wide one;
// empty when unset. Written to the user's settings.
[[nodiscard]] QString userSetting(const QString &key);
void setUserSetting(const QString &key, const QString &value);

} // namespace dw
