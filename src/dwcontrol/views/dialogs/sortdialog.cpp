#include "sortdialog.h"

#include "columnheading.h"
#include "datawindow.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace dw {
namespace {

constexpr int expressionRole = Qt::UserRole;

// One key of sort criteria: "nombre A", "LookUpDisplay(tutor) D", "id" (ascending).
std::pair<QString, bool> parseKey(const QString &key)
{
    static const QRegularExpression direction(QStringLiteral("^(.*\\S)\\s+([AaDd])$"));
    const QString trimmed = key.trimmed();
    const QRegularExpressionMatch match = direction.match(trimmed);
    if (!match.hasMatch())
        return {trimmed, true};
    return {match.captured(1), match.captured(2).compare(QStringLiteral("d"), Qt::CaseInsensitive) != 0};
}

QComboBox *directionOf(const QTreeWidget *keys, QTreeWidgetItem *item)
{
    return qobject_cast<QComboBox *>(keys->itemWidget(item, 1));
}

// The ascending/descending choice of a key, a combo box in the key's second cell.
void setDirection(QTreeWidget *keys, QTreeWidgetItem *item, bool ascending)
{
    auto *direction = new QComboBox(keys);
    direction->setObjectName(QStringLiteral("direction"));
    direction->addItems({QStringLiteral("Ascendente"), QStringLiteral("Descendente")});
    direction->setCurrentIndex(ascending ? 0 : 1);
    keys->setItemWidget(item, 1, direction);
}

} // namespace

SortDialog::SortDialog(const DataWindow &dw, const QString &criteria, QWidget *parent)
    : QDialog(parent)
    , m_dw(dw)
{
    setWindowTitle(QStringLiteral("Especificar Orden"));

    m_columns = new QListWidget(this);
    m_columns->setObjectName(QStringLiteral("columnList"));
    for (int column = 1; column <= dw.columnCount(); ++column) {
        const QString name = dw.columnName(column);
        auto *item = new QListWidgetItem(columnHeading(dw, name), m_columns);
        item->setData(expressionRole, name);
        item->setToolTip(name);
    }

    m_keys = new QTreeWidget(this);
    m_keys->setObjectName(QStringLiteral("keyList"));
    m_keys->setColumnCount(2);
    m_keys->setHeaderLabels({QStringLiteral("Columna"), QStringLiteral("Orden")});
    m_keys->setRootIsDecorated(false);
    m_keys->header()->setSectionResizeMode(0, QHeaderView::Stretch);

    const auto button = [this](const QString &text, const char *name) {
        auto *b = new QPushButton(text, this);
        b->setObjectName(QLatin1String(name));
        b->setAutoDefault(false);
        return b;
    };
    m_add = button(QStringLiteral("Agregar >"), "addButton");
    m_remove = button(QStringLiteral("< Quitar"), "removeButton");
    m_up = button(QStringLiteral("Subir"), "upButton");
    m_down = button(QStringLiteral("Bajar"), "downButton");

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Aceptar"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancelar"));

    auto *middle = new QVBoxLayout;
    middle->addStretch();
    for (QPushButton *b : {m_add, m_remove, m_up, m_down})
        middle->addWidget(b);
    middle->addStretch();

    auto *grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Columnas:"), this), 0, 0);
    grid->addWidget(new QLabel(QStringLiteral("Ordenar por:"), this), 0, 2);
    grid->addWidget(m_columns, 1, 0);
    grid->addLayout(middle, 1, 1);
    grid->addWidget(m_keys, 1, 2);
    grid->addWidget(buttons, 2, 0, 1, 3);

    connect(m_add, &QPushButton::clicked, this, &SortDialog::addSelectedColumn);
    connect(m_columns, &QListWidget::itemDoubleClicked, this, &SortDialog::addSelectedColumn);
    connect(m_remove, &QPushButton::clicked, this, &SortDialog::removeSelectedKey);
    connect(m_up, &QPushButton::clicked, this, [this] { moveSelectedKey(-1); });
    connect(m_down, &QPushButton::clicked, this, [this] { moveSelectedKey(1); });
    connect(m_columns, &QListWidget::itemSelectionChanged, this, &SortDialog::updateButtons);
    connect(m_keys, &QTreeWidget::itemSelectionChanged, this, &SortDialog::updateButtons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    for (const QString &key : criteria.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const auto [expression, ascending] = parseKey(key);
        if (!expression.isEmpty())
            addKey(expression, ascending);
    }
    m_columns->setCurrentRow(0);
    updateButtons();
    resize(560, 360);
}

void SortDialog::addKey(const QString &expression, bool ascending)
{
    for (int i = 0; i < m_keys->topLevelItemCount(); ++i) {
        if (m_keys->topLevelItem(i)
                ->data(0, expressionRole)
                .toString()
                .compare(expression, Qt::CaseInsensitive)
            == 0)
            return; // a second key on the same column would never decide anything
    }
    const QString label = m_dw.columnNumber(expression) > 0 ? columnHeading(m_dw, expression) : expression;
    auto *item = new QTreeWidgetItem(m_keys, {label});
    item->setData(0, expressionRole, expression);
    item->setToolTip(0, expression);
    setDirection(m_keys, item, ascending);
    m_keys->setCurrentItem(item);
    updateButtons();
}

void SortDialog::addSelectedColumn()
{
    for (const QListWidgetItem *item : m_columns->selectedItems())
        addKey(item->data(expressionRole).toString(), true);
}

void SortDialog::removeSelectedKey()
{
    delete m_keys->currentItem();
    updateButtons();
}

void SortDialog::moveSelectedKey(int by)
{
    QTreeWidgetItem *item = m_keys->currentItem();
    if (!item)
        return;
    const int from = m_keys->indexOfTopLevelItem(item);
    const int to = from + by;
    if (to < 0 || to >= m_keys->topLevelItemCount())
        return;
    // Taking the item out drops its combo box; carry the direction over.
    const bool ascending = directionOf(m_keys, item)->currentIndex() == 0;
    m_keys->takeTopLevelItem(from);
    m_keys->insertTopLevelItem(to, item);
    setDirection(m_keys, item, ascending);
    m_keys->setCurrentItem(item);
    updateButtons();
}

void SortDialog::setAscending(int key, bool ascending)
{
    if (QTreeWidgetItem *item = m_keys->topLevelItem(key))
        directionOf(m_keys, item)->setCurrentIndex(ascending ? 0 : 1);
}

QString SortDialog::criteria() const
{
    QStringList keys;
    for (int i = 0; i < m_keys->topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = m_keys->topLevelItem(i);
        const bool ascending = directionOf(m_keys, item)->currentIndex() == 0;
        keys.append(item->data(0, expressionRole).toString()
                    + (ascending ? QStringLiteral(" A") : QStringLiteral(" D")));
    }
    return keys.join(QStringLiteral(", "));
}

void SortDialog::updateButtons()
{
    QTreeWidgetItem *current = m_keys->currentItem();
    const int index = current ? m_keys->indexOfTopLevelItem(current) : -1;
    m_add->setEnabled(!m_columns->selectedItems().isEmpty());
    m_remove->setEnabled(current != nullptr);
    m_up->setEnabled(index > 0);
    m_down->setEnabled(index >= 0 && index + 1 < m_keys->topLevelItemCount());
}

} // namespace dw
