#pragma once

#include "objects/layout.h"

#include <QString>
#include <QStringView>

#include <optional>

namespace dw {

// Answers one Describe path about a layout: "object.attr.path", "#n.attr", or
// "DataWindow.attr.path" (bands as "DataWindow.Header.Height"). "!" for an object or an
// attribute that does not exist, "?" for an attribute that exists without a value. A
// value written as "default<TAB>expression" answers its default. The paths that depend
// on rows and criteria (Table.Sort, Table.Filter, Table.Select, Evaluate) are answered
// by the data window itself.
[[nodiscard]] QString describeLayout(const Layout &layout, QStringView path);

// What a Modify changes besides the layout: new sort or filter criteria, which the data
// window checks before anything is committed.
struct ModifyOutcome
{
    std::optional<QString> sort;
    std::optional<QString> filter;
};

// Applies Modify commands to a working copy of a layout:
//   object.attr.path=value   (several, separated by blanks; value bare or quoted)
//   create kind(attr=value ...)
//   destroy name
// Returns "" on success, else an error text; on error the copy is to be thrown away.
[[nodiscard]] QString applyModify(Layout &layout, QStringView commands, ModifyOutcome &outcome);

// Grid presentation: a heading "<col>_t" and the header objects laid over it follow
// their column; hiding a column closes its gap, showing one places it after the
// visible columns; widening a column moves the columns to its right.
namespace grid {
void setColumnX(Layout &layout, int object, int x);
void setColumnWidth(Layout &layout, int object, const QString &width);
void setColumnVisible(Layout &layout, int object, const QString &visible);
} // namespace grid

// Whether an attribute value reads as true ("1", "yes", "true").
[[nodiscard]] bool isTrue(const QString &value);

} // namespace dw
