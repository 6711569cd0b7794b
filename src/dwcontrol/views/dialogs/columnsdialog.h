#pragma once

#include "interaction.h"

#include <QDialog>

class QListWidget;

namespace dw {

// The column chooser: the columns by their headings, each with a check box, and a button
// that goes back to the designed columns. The last checked box cannot be unchecked, so a
// listing always keeps a column. Its widgets carry object names ("columnList",
// "resetButton") so tests can drive it without showing it.
class ColumnsDialog final : public QDialog
{
    Q_OBJECT
public:
    // What exec() returns when the user asks for the designed columns.
    static constexpr int ResetCode = 2;

    explicit ColumnsDialog(const QList<ColumnChoice> &columns, QWidget *parent = nullptr);

    // The columns as given, with the visible flags the boxes show now.
    [[nodiscard]] QList<ColumnChoice> choices() const;

private:
    // Only the last checked box is locked.
    void lockLastChecked();

    QList<ColumnChoice> m_columns;
    QListWidget *m_list = nullptr;
};

} // namespace dw
