#include "runtime.h"

#include "interaction.h"
#include "settings/settingsstore.h"

#include <QMetaMethod>
#include <QObject>

#include <array>

namespace rt {

void MessageBox(const QString &title, const QString &text, QWidget *parent)
{
    dw::interaction().messageBox(parent, title, text);
}

bool KeyDown(int virtualKey)
{
    return dw::interaction().keyDown(virtualKey);
}

bool TriggerEvent(QObject *object, const char *event, const QVariantList &arguments)
{
    constexpr qsizetype maxArguments = 10; // what QMetaMethod::invoke can pass
    if (!object || !event || arguments.size() > maxArguments)
        return false;
    const QMetaObject *meta = object->metaObject();
    const QByteArray name(event);
    for (int i = meta->methodCount() - 1; i >= 0; --i) {
        const QMetaMethod method = meta->method(i);
        if (method.name() != name || method.parameterCount() != arguments.size())
            continue;
        // Each argument converted to the type the handler declares.
        QVariantList converted = arguments;
        bool convertible = true;
        for (int p = 0; p < method.parameterCount() && convertible; ++p)
            convertible = converted[p].convert(method.parameterMetaType(p));
        if (!convertible)
            continue;
        std::array<QGenericArgument, maxArguments> passed{};
        for (qsizetype p = 0; p < converted.size(); ++p)
            passed[p] = QGenericArgument(method.parameterMetaType(int(p)).name(), converted[p].constData());
        return method.invoke(object, Qt::DirectConnection, passed[0], passed[1], passed[2], passed[3],
                             passed[4], passed[5], passed[6], passed[7], passed[8], passed[9]);
    }
    return false;
}

// The settings store names its file the same way, so one rule serves both.
QString WordCap(const QString &text)
{
    return dw::SettingsStore::storeName(text);
}

} // namespace rt
