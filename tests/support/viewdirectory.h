#pragma once

#include <QString>

namespace testsupport {

// A copy, at `file`, of the sample database whose member table is renamed `miembros`, with
// `directorio` made by `makeView`, where "{others}" stands for every column of the table
// but `except`. The file's name, or an empty text when it cannot be made.
[[nodiscard]] QString directoryWithView(const QString &file, const QString &makeView,
                                        const QString &except = QStringLiteral("nombre"));

} // namespace testsupport
