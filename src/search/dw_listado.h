#pragma once

#include "u_dw.h"

#include <functional>

namespace search {

// The search window's listing grid: starts the grid style and row selection services,
// appends the search condition to each retrieval, and opens a member's card on a
// double click. Its double-click and row-focus scripts replace the inherited ones, so
// the row selection service hears only clicks.
class dw_listado : public u_dw
{
    Q_OBJECT
public:
    // The condition to append, read from the window's search controls at the moment of
    // each retrieval.
    using ConditionSource = std::function<QString()>;

    explicit dw_listado(ConditionSource condition, QWidget *parent = nullptr);

    void constructor() override;
    long sqlpreview(int request, int sqltype, const QString &sqlsyntax, int buffer, long row) override;
    long doubleclicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    long rowfocuschanged(long currentrow) override;

private:
    ConditionSource m_condition;
};

} // namespace search
