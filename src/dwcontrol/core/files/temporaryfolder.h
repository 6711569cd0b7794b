#pragma once

#include <QString>

namespace dw {

// Where the program writes its private scratch files (copies of a database with a live log,
// an Access import it cannot cache, a settings value being encoded): the folder TMPDIR names
// (/tmp when it is unset) when it is an absolute folder the user can write, otherwise the
// user's cache folder. Empty when neither can be written: never a relative path, the start
// folder (which holds the database) or the root of the file system.
[[nodiscard]] QString temporaryFolder();

// The folder the user's environment meant for temporary files, for messages: TMPDIR as it is
// written, or /tmp.
[[nodiscard]] QString intendedTemporaryFolder();

} // namespace dw
