#pragma once

#include <QDialog>

class QListWidget;
class QTreeWidget;
class QPushButton;

namespace dw {

class DataWindow;

// The sort dialog: the columns by their headings on the left, the sort keys in order on
// the right, each ascending or descending. Its widgets carry object names
// ("columnList", "keyList", "addButton", "removeButton", "upButton", "downButton") so
// tests can drive it without showing it.
class SortDialog final : public QDialog
{
    Q_OBJECT
public:
    // `criteria` is the sort in force ("col A, LookUpDisplay(col2) D"), shown as keys.
    SortDialog(const DataWindow &dw, const QString &criteria, QWidget *parent = nullptr);

    // The keys chosen, as sort criteria ("col A, col2 D"); empty when there are none.
    [[nodiscard]] QString criteria() const;

    // What the buttons do, for the keys list.
    void addKey(const QString &expression, bool ascending);
    void addSelectedColumn();
    void removeSelectedKey();
    void moveSelectedKey(int by);
    void setAscending(int key, bool ascending);

private:
    void updateButtons();

    const DataWindow &m_dw;
    QListWidget *m_columns = nullptr;
    QTreeWidget *m_keys = nullptr;
    QPushButton *m_add = nullptr;
    QPushButton *m_remove = nullptr;
    QPushButton *m_up = nullptr;
    QPushButton *m_down = nullptr;
};

} // namespace dw
