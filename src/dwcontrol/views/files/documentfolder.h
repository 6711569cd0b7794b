#pragma once

#include <QString>

namespace dw {

// Where a file the user saves or prints to is proposed: the folder used last in this
// session, else the user's documents folder (else the home folder).
[[nodiscard]] QString proposedFilePath(const QString &baseName, const QString &extension);
// Remembers the folder of a file the user chose, for the next proposal.
void rememberFolderOf(const QString &file);

} // namespace dw
