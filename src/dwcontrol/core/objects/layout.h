#pragma once

#include "objects/layoutobject.h"
#include "objects/layoutsyntax.h"
#include "sql/selectdefinition.h"
#include "types/columntype.h"

#include <QString>

#include <optional>
#include <vector>

namespace dw {

// A result column of the SELECT as the layout declares it.
struct TableColumn
{
    QString name;
    QString type; // as written, lower case: "char(255)", "long", "number" ...
    ColumnType columnType = ColumnType::Char;
};

// "char(255)" → Char, "long" → Long ...; nothing for an unknown type.
[[nodiscard]] std::optional<ColumnType> parseColumnType(const QString &type);

// A layout as data: the data window's own attributes (bands as "header.height"), the
// select definition with its columns, and the drawable objects in drawing order. Every
// table column has a column object; one the layout does not place is an invisible
// column object of width 0, so "#n" paths work for every column.
class Layout
{
public:
    // Builds a layout from parsed items; nothing and an error text when an item is
    // unknown, a column id is out of range, or two objects share a name.
    [[nodiscard]] static std::optional<Layout> fromItems(const std::vector<syntax::Item> &items,
                                                         QString *error = nullptr);

    syntax::Attributes dataWindow; // lower-case paths
    std::vector<TableColumn> columns;
    SelectDefinition select;
    QString designedSort;
    QString designedFilter;
    std::vector<LayoutObject> objects;

    [[nodiscard]] QString presentation() const; // "grid", "tabular", "freeform"
    [[nodiscard]] QString dataWindowValue(const QString &path) const; // the raw text, "" when unset
    void setDataWindowValue(const QString &path, const QString &value);
    [[nodiscard]] int bandHeight(Band band) const;

    // Index of an object by name (any letter case) or "#n" for column n; -1 when none.
    [[nodiscard]] int objectIndex(QStringView name) const;
    // The column number (1-based) of a name, 0 when none.
    [[nodiscard]] int columnNumber(QStringView name) const;
    // The column object of column n; -1 when none.
    [[nodiscard]] int columnObject(int column) const;
    // The column number a column object shows; 0 for other objects.
    [[nodiscard]] int columnOf(const LayoutObject &object) const;
};

// Attribute maps of objects: lower-case paths, raw values.
[[nodiscard]] const QString *findAttribute(const LayoutObject &object, QStringView path);
void setAttribute(LayoutObject &object, const QString &path, const QString &value);
// The part of a raw value before a tab (what readers that do not evaluate see).
[[nodiscard]] QString defaultPart(const QString &raw);
// The expression after the tab of "default<TAB>expression"; empty when there is none.
[[nodiscard]] QString expressionPart(const QString &raw);

[[nodiscard]] std::optional<Band> bandFromName(QStringView name);
// Writes an object's band in its canonical lower-case name ("detail" when unset);
// false when the band is unknown.
[[nodiscard]] bool normalizeBand(LayoutObject &object);
[[nodiscard]] QString bandName(Band band);

} // namespace dw
