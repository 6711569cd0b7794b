#pragma once

#include <QString>
#include <QStringList>

// What the program tells about itself from a terminal, without opening a window: its
// version and a short help. Every other argument is left to Qt and then ignored.
enum class InfoRequest { None, Version, Help };

// The first of "--version", "--help" or "-h" among the arguments (the program's own
// name excluded); None when there is neither.
[[nodiscard]] InfoRequest infoRequestOf(const QStringList &arguments);

// The version number, fixed by the build.
[[nodiscard]] QString programVersion();

// "zemparol 1.0" and a newline.
[[nodiscard]] QString versionText();

// One Spanish paragraph: what the program opens and from where, where the user's and the
// machine's settings and the import cache live. Needs the application name set.
[[nodiscard]] QString helpText();
