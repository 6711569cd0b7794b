#pragma once

#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QString>

class n_svc_dw_gridstyle;

// The context menu of a styled grid. It lives for one right click: created, registered
// with the clicked spot, shown, destroyed. Its items hand their own name, the row and
// the object under the pointer back to the service, which carries out the command.
class m_svc_dwgridstyle_popup : public QObject
{
    Q_OBJECT
public:
    explicit m_svc_dwgridstyle_popup(QObject *parent = nullptr);
    ~m_svc_dwgridstyle_popup() override;

    QPointer<n_svc_dw_gridstyle> isrv_gridstyle;
    long il_row = 0;
    QString is_colname;

    // The menu shown on screen, holding the items named after their commands.
    QMenu m_popup;

    // Stores the spot and hides the items that do not fit it.
    void mf_register(n_svc_dw_gridstyle *asrv_sort, long al_row, const QString &as_colname);
    // Shows m_popup modally at a global position; the chosen item's command has run
    // when this returns.
    void popAt(const QPoint &globalPos);
    // The item of that name, or null.
    [[nodiscard]] QAction *item(const QString &name) const;

private:
    void addItem(const QString &name, const QString &text);
    void addSeparator(const QString &name);
    // Calls the service's of_process_popup by name with the item's name.
    void itemClicked(const QString &itemName);
};
