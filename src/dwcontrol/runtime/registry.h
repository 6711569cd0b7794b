#pragma once

#include <QString>

namespace rt {

// The per-user settings store under a key path like
// "HKEY_CURRENT_USER\\Software\\<company>\\<app>\\<sub>": the program's settings store
// (settingsstore.h) of that company and application, whatever the case of their names,
// with <sub> as nested groups. Reads fall back to the machine-wide settings. Values are
// strings.

// The key of the program's own settings with `subkey` below it:
// "HKEY_CURRENT_USER\\Software\\Calvexa\\<application>\\<subkey>", the application being the
// application object's display name, else its name (Qt's application name outside its
// life), as the services name it.
[[nodiscard]] QString ProgramKey(const QString &subkey);

// Writes a value, creating missing keys: 1 on success, -1 on failure.
int RegistrySet(const QString &key, const QString &valueName, const QString &value);
// Reads a value into `value`, left unchanged when the key or the value is missing:
// 1 when found, -1 otherwise.
int RegistryGet(const QString &key, const QString &valueName, QString &value);

// A settings file that cannot be written is said once in a message box (and on stderr).
// The application object and the first registry write set this up.
void ReportUnwritableSettings();

} // namespace rt
