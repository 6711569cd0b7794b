#pragma once

#include <QString>
#include <QVariant>

class QObject;
class QWidget;

namespace rt {

// A modal message box (information icon, OK) through the replaceable interaction.
void MessageBox(const QString &title, const QString &text, QWidget *parent = nullptr);
// Whether a key is down while an event is handled: 17 Ctrl, 16 Shift.
[[nodiscard]] bool KeyDown(int virtualKey);
// Raises an event (an invokable method or slot) by name with arguments; an object
// without such an event is no error. True when a handler ran.
bool TriggerEvent(QObject *object, const char *event, const QVariantList &arguments = {});
// Capitalises word by word: "zemparol" -> "Zemparol", "línea de x" -> "Línea De X".
[[nodiscard]] QString WordCap(const QString &text);

} // namespace rt
