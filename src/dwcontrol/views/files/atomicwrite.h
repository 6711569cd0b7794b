#pragma once

// views/files: getting a finished document onto disk. A file is written beside its final
// name and replaces it only when complete, and the folder a document is proposed in is
// chosen here. Nothing in this folder knows data windows; printing and saving build on it.

#include <QString>

#include <functional>

class QIODevice;

namespace dw {

// Writes what `produce` puts on the device into a temporary file beside `fileName`,
// which replaces the file only once complete: a failure (a folder that cannot be
// written, a full disk) leaves no partial file and an older file of that name as it was.
// `produce` returns false, with its reason, when it cannot make the content. True on
// success; otherwise `error` says why, in Spanish.
[[nodiscard]] bool writeAtomically(const QString &fileName,
                                   const std::function<bool(QIODevice &, QString *)> &produce,
                                   QString *error);

} // namespace dw
