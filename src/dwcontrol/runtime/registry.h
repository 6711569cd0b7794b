#pragma once

#include <QString>

namespace rt {

// The per-user settings store under a key path like
// "HKEY_CURRENT_USER\\Software\\<company>\\<app>\\<sub>". On Windows it is the registry; elsewhere QSettings
// groups in the INI file of QSettings(<company>, <app>). Values are strings.

// Writes a value, creating missing keys: 1 on success, -1 on failure.
int RegistrySet(const QString &key, const QString &valueName, const QString &value);
// Reads a value into `value`, left unchanged when the key or the value is missing:
// 1 when found, -1 otherwise.
int RegistryGet(const QString &key, const QString &valueName, QString &value);

} // namespace rt
