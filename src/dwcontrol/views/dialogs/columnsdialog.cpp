#include "columnsdialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace dw {

ColumnsDialog::ColumnsDialog(const QList<ColumnChoice> &columns, QWidget *parent)
    : QDialog(parent)
    , m_columns(columns)
{
    setWindowTitle(u"Columnas"_s);

    m_list = new QListWidget(this);
    m_list->setObjectName(u"columnList"_s);
    for (const ColumnChoice &column : columns) {
        auto *item = new QListWidgetItem(column.caption, m_list);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setCheckState(column.visible ? Qt::Checked : Qt::Unchecked);
    }

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(u"Aceptar"_s);
    buttons->button(QDialogButtonBox::Cancel)->setText(u"Cancelar"_s);
    QPushButton *reset = buttons->addButton(u"Restablecer"_s, QDialogButtonBox::ResetRole);
    reset->setObjectName(u"resetButton"_s);
    reset->setToolTip(u"Vuelve a las columnas, los anchos y el orden originales"_s);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(u"Columnas que muestra el listado:"_s, this));
    layout->addWidget(m_list);
    layout->addWidget(buttons);

    connect(m_list, &QListWidget::itemChanged, this, &ColumnsDialog::lockLastChecked);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(reset, &QPushButton::clicked, this, [this] { done(ResetCode); });

    lockLastChecked();
    resize(340, 420);
}

void ColumnsDialog::lockLastChecked()
{
    int checked = 0;
    for (int row = 0; row < m_list->count(); ++row)
        checked += m_list->item(row)->checkState() == Qt::Checked ? 1 : 0;
    // Changing an item's flags reports a change of the item again.
    const QSignalBlocker quiet(m_list);
    for (int row = 0; row < m_list->count(); ++row) {
        QListWidgetItem *item = m_list->item(row);
        const bool locked = checked == 1 && item->checkState() == Qt::Checked;
        item->setFlags(locked ? Qt::ItemIsUserCheckable : Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
        item->setToolTip(locked ? u"El listado muestra al menos una columna"_s : QString());
    }
}

QList<ColumnChoice> ColumnsDialog::choices() const
{
    QList<ColumnChoice> result = m_columns;
    for (int row = 0; row < m_list->count() && row < result.size(); ++row)
        result[row].visible = m_list->item(row)->checkState() == Qt::Checked;
    return result;
}

} // namespace dw
