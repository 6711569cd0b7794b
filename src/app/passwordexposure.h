#pragma once

#include <QString>

// What the program says once, after connecting, when the user's settings file holds the
// connection's password and other users may read that file: how to keep it private, or to
// keep the password out of it. Empty when the string holds no password or the file is
// readable by its owner only.
[[nodiscard]] QString exposedPasswordWarning(const QString &settingsFile, const QString &connectString);
