#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace dw {

// The program's settings: one store per company and application, read from the user's
// file and then from the machine-wide one, written to the user's file only. On Linux these
// are ~/.config/<company>/<Application>.conf (following XDG_CONFIG_HOME) and
// /etc/xdg/<company>/<Application>.conf; on Windows the registry keys
// HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE\Software\<company>\<Application>.
//
// Registry keys do not care about letter case, so neither does the store: "zemparol" and
// "Zemparol" name the same one, and its file is always spelled with capitals
// ("Zemparol.conf"). Every setting of the program (sort, columns, connection, limits,
// folders, formats) goes through here.
//
// A write changes only the line of its key (or adds one): an administrator's comments,
// blank lines and keys the program does not know stay as they were. A file that cannot
// be written is said once per session (on stderr, and to whoever setUnwritableReport
// names), not ignored silently.
class SettingsStore
{
public:
    SettingsStore(const QString &company, const QString &application);

    // The program's own store: "Calvexa" and the application's name.
    [[nodiscard]] static SettingsStore program();

    [[nodiscard]] QString userFile() const;
    [[nodiscard]] QString machineFile() const;

    // The value of `key` ("Group/Sub/name"): the user's, else the machine-wide one, else
    // nothing; a value of blanks counts as none. A value an administrator wrote with
    // unquoted commas comes back whole.
    [[nodiscard]] std::optional<QString> text(const QString &key) const;
    // The user's own value of `key`, blanks counting as none.
    [[nodiscard]] std::optional<QString> userText(const QString &key) const;
    // Every value of `key` that is not blanks: the user's, then the machine-wide one.
    [[nodiscard]] QStringList texts(const QString &key) const;
    // Writes `value` to the user's file; false when the file cannot be written.
    bool setText(const QString &key, const QString &value) const;

    // Who hears, besides stderr, that a settings file cannot be written: once per file and
    // session, with the text to show.
    using UnwritableReport = std::function<void(const QString &text)>;
    static void setUnwritableReport(UnwritableReport report);

    // The name a store's file carries for an application name of any case.
    [[nodiscard]] static QString storeName(const QString &application);

private:
    QString m_company;
    QString m_application;
};

} // namespace dw
