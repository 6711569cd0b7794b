#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>
#include <utility>

class QWidget;

// The common toolkit of every service: text splitting and replacing, system colours,
// per-user settings below "HKEY_CURRENT_USER\Software\<is_company>\<app>", the
// application's name and the window that holds a control. Every function is virtual;
// a call always reaches the most derived version.
class n_svc_base : public QObject
{
    Q_OBJECT
public:
    explicit n_svc_base(QObject *parent = nullptr);
    ~n_svc_base() override;

    QString is_company = QStringLiteral("Calvexa");

    // Splits as_text at every as_sep into as_array (emptied first), each piece trimmed;
    // a null or empty text gives 0. Returns the number of elements.
    virtual long of_parse(const QString &as_text, const QString &as_sep, QStringList &as_array);
    virtual void of_initialize() {}
    // A system colour index as the colour number (red in the low byte).
    virtual quint32 of_syscolor(int ai_index);
    virtual QString of_replaceall(const QString &as_oldstring, const QString &as_findstr,
                                  const QString &as_replace);
    virtual int of_setreg(const QString &as_subkey, const QString &as_entry, const QString &as_value);
    virtual int of_setreg(const QString &as_entry, const QString &as_value);
    virtual QString of_getreg(const QString &as_subkey, const QString &as_entry, const QString &as_default);
    virtual QString of_getreg(const QString &as_entry, const QString &as_default);
    virtual QString of_getappname();
    // The first window above the control (the walk starts at its parent), or null.
    virtual QWidget *of_getwindow(QWidget *adrg_object);

    // Releases a service: raises its destructor event while the object is still whole,
    // then deletes it.
    struct Release
    {
        void operator()(n_svc_base *service) const;
    };
    template <class S> using Ptr = std::unique_ptr<S, Release>;

    // Creates a service and raises its constructor event once the object is complete,
    // so a descendant's constructor script is the one that runs.
    template <class S, class... Args> [[nodiscard]] static Ptr<S> create(Args &&...args)
    {
        Ptr<S> service(new S(std::forward<Args>(args)...));
        raiseConstructor(*service);
        return service;
    }

public slots:
    // Raised by name when the service is created and destroyed.
    virtual void constructor() {}
    virtual void destructor() {}

protected:
    // The registry key of the settings: HKEY_CURRENT_USER\Software\<company>\<app>[\<sub>].
    [[nodiscard]] QString registryKey(const QString &as_subkey);

private:
    static void raiseConstructor(n_svc_base &service);
};
