#pragma once

#include <QString>
#include <QStringList>

// The condition the search window appends to the listing's SELECT: the members whose
// upper-cased field contains the upper-cased text. Plain text in, SQL text out; no
// widget involved.
namespace search {

// The captions of the field drop-down, in display order.
[[nodiscard]] const QStringList &fieldCaptions();

// The condition for a search in every field (anyField) or in the field whose caption
// is given. An any-field search with an empty text, or a caption that names no field,
// gives no condition (the empty text). A one-field search has no length test: an empty
// text still leaves out the members whose field is null.
[[nodiscard]] QString condition(bool anyField, const QString &fieldCaption, const QString &text);

} // namespace search
