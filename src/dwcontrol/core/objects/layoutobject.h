#pragma once

#include <QString>

#include <utility>
#include <vector>

namespace dw {

enum class Band { Header, Detail, Footer, Summary, Background, Foreground };

// One object of a layout, as written in its syntax: a kind ("text", "column",
// "compute", "picture", "line", "rectangle"), a name, and attributes by lower-case
// path ("x", "font.face", "background.color", "band") holding the raw texts (a value
// may be "default<TAB>expression").
struct LayoutObject
{
    QString kind;
    QString name;
    std::vector<std::pair<QString, QString>> attributes;
    [[nodiscard]] QString raw(const QString &path) const; // "" when absent
};

} // namespace dw
