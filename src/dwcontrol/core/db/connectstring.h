#pragma once

#include <QString>

#include <optional>
#include <utility>
#include <vector>

namespace dw {

// An ODBC connect string taken apart: "key=value" pairs separated by ';', a value
// possibly wrapped in braces ("{...}", where "}}" stands for one '}'). Keys are
// compared without regard to case and with the blanks around them trimmed.
class ConnectString
{
public:
    ConnectString() = default;
    explicit ConnectString(const QString &text);

    // The value of `key`, or nothing when the string has no such key.
    [[nodiscard]] std::optional<QString> value(const QString &key) const;

private:
    std::vector<std::pair<QString, QString>> m_pairs;
};

// `text` (a driver's message) with the password hidden: the value of every PWD= or
// PASSWORD= pair in it, braced or bare, and the password of `connectString` wherever
// it appears. Everything else of the text stays.
[[nodiscard]] QString withoutPassword(QString text, const QString &connectString);

// Takes a DBParm apart: "Name='value',Name2='value2'" (names without regard to case,
// values in single or double quotes, a doubled quote standing for itself, or unquoted
// up to the next comma). Returns the value of `name`, or a null text when missing.
[[nodiscard]] QString dbParmValue(const QString &dbParm, const QString &name);

} // namespace dw
