#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Which attributes each kind of object has, and what an attribute reads as when the
// layout does not set it. Describe answers "!" for attributes a kind does not have and
// "?" for attributes it has but that are unset and have no default.
namespace dw::schema {

// Kinds of drawable objects: text, column, compute, picture, line, rectangle, ellipse,
// roundrectangle ("bitmap" is read as "picture").
[[nodiscard]] bool isObjectKind(QStringView kind);
[[nodiscard]] QString normalizedKind(const QString &kind);
[[nodiscard]] bool isBandName(QStringView name);

// The default of an attribute of a kind (lower-case path): nothing when the kind has
// no such attribute, "?" when it has one without default.
[[nodiscard]] std::optional<QString> objectDefault(QStringView kind, QStringView path);
// The same for the data window's own attributes ("processing", "header.height",
// "print.preview", ...).
[[nodiscard]] std::optional<QString> dataWindowDefault(QStringView path);

} // namespace dw::schema
