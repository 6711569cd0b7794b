#include "n_svc_base.h"

#include "application.h"
#include "objectpainter.h"
#include "registry.h"
#include "runtime.h"
#include "window.h"

#include <QColor>
#include <QCoreApplication>
#include <QWidget>

using namespace Qt::StringLiterals;

n_svc_base::n_svc_base(QObject *parent) : QObject(parent) {}

n_svc_base::~n_svc_base() = default;

void n_svc_base::raiseConstructor(n_svc_base &service)
{
    rt::TriggerEvent(&service, "constructor");
}

void n_svc_base::Release::operator()(n_svc_base *service) const
{
    if (!service)
        return;
    rt::TriggerEvent(service, "destructor");
    delete service;
}

long n_svc_base::of_parse(const QString &as_text, const QString &as_sep, QStringList &as_array)
{
    as_array.clear();
    if (as_text.isEmpty())
        return 0;

    // Only blanks are trimmed, as the runtime's Trim does; tabs and line breaks stay.
    const auto trimBlanks = [](const QString &text) {
        qsizetype first = 0;
        qsizetype last = text.size();
        while (first < last && text.at(first) == u' ')
            ++first;
        while (last > first && text.at(last - 1) == u' ')
            --last;
        return text.mid(first, last - first);
    };

    // An empty separator is found nowhere, so the whole text is one element.
    const auto find
        = [&as_sep](const QString &text) { return as_sep.isEmpty() ? qsizetype(-1) : text.indexOf(as_sep); };

    QString rest = as_text;
    for (qsizetype pos = find(rest); pos >= 0; pos = find(rest)) {
        as_array.append(trimBlanks(rest.left(pos)));
        // Exactly one character is skipped at the match, whatever the separator's
        // length; with ", " the blank that follows the comma goes with the trimming.
        rest = trimBlanks(rest.mid(pos + 1));
    }
    as_array.append(trimBlanks(rest));
    return as_array.size();
}

quint32 n_svc_base::of_syscolor(int ai_index)
{
    const QColor color = dw::systemColor(ai_index);
    return quint32(color.red()) | quint32(color.green()) << 8 | quint32(color.blue()) << 16;
}

QString n_svc_base::of_replaceall(const QString &as_oldstring, const QString &as_findstr,
                                  const QString &as_replace)
{
    QString result = as_oldstring;
    if (as_findstr.isEmpty())
        return result;
    // The search resumes after the inserted text, so a replacement that contains the
    // searched text is never searched again and cannot loop.
    for (qsizetype pos = result.indexOf(as_findstr); pos >= 0;
         pos = result.indexOf(as_findstr, pos + as_replace.size())) {
        result.replace(pos, as_findstr.size(), as_replace);
    }
    return result;
}

QString n_svc_base::registryKey(const QString &as_subkey)
{
    QString key = u"HKEY_CURRENT_USER\\Software\\"_s + is_company + u'\\' + of_getappname();
    if (!as_subkey.isEmpty())
        key += u'\\' + as_subkey;
    return key;
}

int n_svc_base::of_setreg(const QString &as_subkey, const QString &as_entry, const QString &as_value)
{
    return rt::RegistrySet(registryKey(as_subkey), as_entry, as_value);
}

int n_svc_base::of_setreg(const QString &as_entry, const QString &as_value)
{
    return of_setreg(QString(), as_entry, as_value);
}

QString n_svc_base::of_getreg(const QString &as_subkey, const QString &as_entry, const QString &as_default)
{
    QString value;
    // The read's own result is not needed: a missing key or value leaves the text empty.
    rt::RegistryGet(registryKey(as_subkey), as_entry, value);
    return value.isEmpty() ? as_default : value;
}

QString n_svc_base::of_getreg(const QString &as_entry, const QString &as_default)
{
    return of_getreg(QString(), as_entry, as_default);
}

QString n_svc_base::of_getappname()
{
    QString name;
    if (const rt::Application *application = rt::Application::instance())
        name = application->displayname.isEmpty() ? application->appname : application->displayname;
    else
        // Outside the application object's life (tools, tests) Qt's name stands in.
        name = QCoreApplication::applicationName();
    return rt::WordCap(name);
}

QWidget *n_svc_base::of_getwindow(QWidget *adrg_object)
{
    QWidget *object = adrg_object ? adrg_object->parentWidget() : nullptr;
    while (object && !qobject_cast<rt::Window *>(object) && !object->isWindow())
        object = object->parentWidget();
    return object;
}
