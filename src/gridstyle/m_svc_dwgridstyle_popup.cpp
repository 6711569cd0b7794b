#include "m_svc_dwgridstyle_popup.h"

#include "datawindowcontrol.h"
#include "interaction.h"
#include "n_svc_dw_gridstyle.h"
#include "objectpainter.h"

#include <QAction>

using namespace Qt::StringLiterals;

namespace {

// Tahoma 8, normal weight, as every item of the menu shows.
QFont menuFont()
{
    QFont font(u"Tahoma"_s);
    font.setPointSize(8);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

m_svc_dwgridstyle_popup::m_svc_dwgridstyle_popup(QObject *parent) : QObject(parent)
{
    setObjectName(u"m_svc_dwgridstyle_popup"_s);
    m_popup.setObjectName(u"m_popup"_s);
    m_popup.setTitle(u"Popup"_s);
    m_popup.setFont(menuFont());

    // The system menu colours: text (7), menu (4), highlight (13) and its text (14).
    QPalette palette = m_popup.palette();
    palette.setColor(QPalette::Window, dw::systemColor(4));
    palette.setColor(QPalette::Base, dw::systemColor(4));
    palette.setColor(QPalette::WindowText, dw::systemColor(7));
    palette.setColor(QPalette::Text, dw::systemColor(7));
    palette.setColor(QPalette::ButtonText, dw::systemColor(7));
    palette.setColor(QPalette::Highlight, dw::systemColor(13));
    palette.setColor(QPalette::HighlightedText, dw::systemColor(14));
    m_popup.setPalette(palette);

    addItem(u"m_filterbyselection"_s, u"Filtrar por Selección"_s);
    addItem(u"m_filterexcludingselection"_s, u"Filtrar Excluyendo Selección"_s);
    addItem(u"m_removeselectionfilter"_s, u"Quitar Filtro por Selección"_s);
    addItem(u"m_originalfilter"_s, u"Filtro Original"_s);
    addSeparator(u"m_dash1"_s);
    addItem(u"m_sortascending"_s, u"Ordenar Ascendentemente"_s);
    addItem(u"m_sortdescending"_s, u"Ordenar Descendentemente"_s);
    addItem(u"m_originalsort"_s, u"Ordenado Original"_s);
    addSeparator(u"m_dash2"_s);
    addItem(u"m_specifysort"_s, u"Especificar Ordenado..."_s);
    addItem(u"m_specifyfilter"_s, u"Especificar Filtro..."_s);
    addSeparator(u"m_dash3"_s);
    addItem(u"m_print"_s, u"Imprimir"_s);
    addItem(u"m_saveas"_s, u"Guardar Como..."_s);
    addSeparator(u"m_dash4"_s);
    addItem(u"m_columns"_s, u"Columnas…"_s);
}

m_svc_dwgridstyle_popup::~m_svc_dwgridstyle_popup() = default;

void m_svc_dwgridstyle_popup::addItem(const QString &name, const QString &text)
{
    auto *action = new QAction(text, &m_popup);
    action->setObjectName(name);
    action->setFont(menuFont());
    connect(action, &QAction::triggered, this, [this, name] { itemClicked(name); });
    m_popup.addAction(action);
}

void m_svc_dwgridstyle_popup::addSeparator(const QString &name)
{
    auto *separator = new QAction(&m_popup);
    separator->setObjectName(name);
    separator->setSeparator(true);
    m_popup.addAction(separator);
}

QAction *m_svc_dwgridstyle_popup::item(const QString &name) const
{
    return m_popup.findChild<QAction *>(name, Qt::FindDirectChildrenOnly);
}

void m_svc_dwgridstyle_popup::mf_register(n_svc_dw_gridstyle *asrv_sort, long al_row,
                                          const QString &as_colname)
{
    isrv_gridstyle = asrv_sort;
    il_row = al_row;
    is_colname = as_colname;

    // Commands on a cell make no sense on a heading, another band or empty space.
    if (al_row == 0 || as_colname == u"datawindow"_s) {
        for (const QString &name :
             {u"m_filterbyselection"_s, u"m_filterexcludingselection"_s, u"m_removeselectionfilter"_s,
              u"m_sortascending"_s, u"m_sortdescending"_s})
            item(name)->setVisible(false);
    }
    // Nothing to save from an empty grid; printing stays.
    if (asrv_sort && asrv_sort->idw_client && asrv_sort->idw_client->RowCount() == 0) {
        item(u"m_dash3"_s)->setVisible(false);
        item(u"m_saveas"_s)->setVisible(false);
    }
    // Filters, sorts, printing, saving and the column chooser act on the whole listing:
    // while it is still being read they show, greyed, until it is there.
    if (asrv_sort && asrv_sort->idw_client && asrv_sort->idw_client->isRetrieving()) {
        for (QAction *action : m_popup.actions())
            action->setEnabled(action->isSeparator());
    }
}

void m_svc_dwgridstyle_popup::popAt(const QPoint &globalPos)
{
    dw::interaction().popMenu(m_popup, globalPos);
}

void m_svc_dwgridstyle_popup::itemClicked(const QString &itemName)
{
    if (!isrv_gridstyle)
        return;
    // By name at run time, as any service with such a function would take it.
    QMetaObject::invokeMethod(isrv_gridstyle.data(), "of_process_popup", Qt::DirectConnection,
                              Q_ARG(QString, itemName), Q_ARG(long, il_row), Q_ARG(QString, is_colname));
}
