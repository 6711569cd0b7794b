#pragma once

#include "columnorder.h"
#include "n_svc_dw_base.h"

#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <array>
#include <vector>

class QWidget;

// The grid style service: styled headings, heading sort with indicators, heading
// highlight, remembered sort, context menu commands and column widths. It never paints:
// every decoration is a text object it creates, recolours and destroys with Modify, so
// the order of its Describe, Modify, SetSort and Sort calls is what makes it work.
class n_svc_dw_gridstyle : public n_svc_dw_base
{
    Q_OBJECT
public:
    explicit n_svc_dw_gridstyle(QObject *parent = nullptr);

    static inline const QString arrow_suffix = QStringLiteral("_arrow");
    static inline const QString shade_suffix = QStringLiteral("_shade");
    static inline const QString hline_suffix = QStringLiteral("_hline");
    static inline const QString transparent = QStringLiteral("536870912");
    // The sort arrow's font height (10 pt): one em of the heading's right end.
    static constexpr int arrow_height = -10;
    static constexpr quint32 wm_mouseleave = 0x02A3;

    // A measured text extent in pixels.
    struct size
    {
        qint32 cx = 0;
        qint32 cy = 0;
    };

    // Highlighted heading background, sorted column stripe.
    static inline const QString highlite_color = QStringLiteral("15988986");
    // The caption of a highlighted heading: a dark teal that reads well on the highlight.
    static inline const QString highlite_textcolor = QStringLiteral("4210688");
    static inline const QString shade_color = QStringLiteral("16250871");

    // --- set-up and persistence -------------------------------------------------------
    void of_initialize() override;
    virtual void of_setstyle(bool ab_popupmenu, bool ab_arrow, bool ab_shade, bool ab_highlite);
    virtual void of_headerline(const QString &as_colname);
    // Settings live below "GridStyle\<data window object>".
    int of_setreg(const QString &as_entry, const QString &as_value) override;
    QString of_getreg(const QString &as_entry, const QString &as_default) override;
    int of_setreg(const QString &as_subkey, const QString &as_entry, const QString &as_value) override;
    QString of_getreg(const QString &as_subkey, const QString &as_entry, const QString &as_default) override;

    // --- sorting and indicators ---------------------------------------------------------
    long clicked(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    virtual void of_addvisuals();
    virtual void of_delvisuals();
    virtual void of_sortarrow(const QString &as_colname);
    virtual void of_sortshade(const QString &as_colname);
    long resize(quint32 sizetype, int newwidth, int newheight) override;

    // --- hover and tracking ---------------------------------------------------------------
    long mousemove(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;
    long other(quint32 wparam, qint64 lparam) override;
    virtual long mouseleave();
    virtual void of_trackmouseevent(bool ab_mousetracking);
    // Cancels leave tracking, then opens the context menu when it is switched on.
    long rbuttondown(int xpos, int ypos, long row, const dw::DwObjectRef &dwo) override;

    // --- commands -----------------------------------------------------------------------
    // Runs the menu command named as_process (a menu item's name) for the object
    // as_colname under the pointer at row al_row. Called by name from the menu.
    Q_INVOKABLE virtual void of_process_popup(const QString &as_process, long al_row,
                                              const QString &as_colname);
    [[nodiscard]] virtual QString of_combinefilter();

    // --- column layout ------------------------------------------------------------------
    virtual void of_addautowidth(const QString &as_colname);
    long retrieveend(long rowcount) override;
    // The first row whose value is widest, 0 without rows, -1 when a measurement failed.
    virtual long of_resizewidth(const QString &as_colname);
    virtual void of_reordercolumns(const QStringList &as_colname);
    [[nodiscard]] virtual QString of_getcoldesc(const QString &as_colname, bool ab_usecolname);

    // --- the user's column widths and order ------------------------------------------------
    // Remembered beside "sortorder" as "columnwidths" ("name=width;...") and "columnorder"
    // ("name,name,..."), written after every resize or move the user makes with the mouse.
    static inline const QString widths_entry = QStringLiteral("columnwidths");
    static inline const QString order_entry = QStringLiteral("columnorder");
    long columnlayoutchanged() override;
    // Fits the column's width to its heading and widest value exactly, as a double click
    // on the border of its heading asks; the design is no lower bound here.
    long columnautofit(const QString &as_column) override;
    // Applies the remembered widths and order; names that are not visible columns, and
    // widths that are not sensible numbers, are passed over.
    virtual void of_restorecolumns();

    // --- the columns the user shows -------------------------------------------------------
    // Which of the designed columns show is the user's choice too, remembered as
    // "hiddencolumns" ("name,name,...") beside the widths and order; at least one shows.
    static inline const QString hidden_entry = QStringLiteral("hiddencolumns");
    // Asks through the column chooser and carries out its answer.
    virtual void of_choosecolumns();
    // Shows exactly the designed columns named (in that order, for those that were hidden:
    // a column shown again joins at the right end) and hides the others; a list that names
    // no designed column changes nothing.
    virtual void of_showcolumns(const QStringList &as_visible);
    // The designed columns again, with their widths, order and visibility; the remembered
    // ones are forgotten.
    virtual void of_resetcolumns();

    // --- zoom -------------------------------------------------------------------------------
    // Remembered as "zoom" (a factor, "1.5625"), the stripe made again for the rows the
    // control now shows, the registered columns fitted again at the new size.
    long zoomchanged() override;
    // Applies the remembered zoom; a value that is no number, or one outside the zoom
    // steps' limits, is passed over.
    virtual void of_restorezoom();

    // Longer than this a remembered sort, width list, column order or zoom is not the user's:
    // it is passed over (with a note on stderr) instead of slowing the start down.
    static constexpr qsizetype kLongestStoredValue = 4096;

private:
    // A remembered value of this service, or `as_default` when it is missing, empty or
    // longer than kLongestStoredValue.
    [[nodiscard]] QString storedValue(const QString &as_entry, const QString &as_default);

    // The window that holds the control: pointer position for the menu.
    QPointer<QWidget> iw_parent;
    // One filter-by-selection condition per column number (element n at index n - 1).
    QStringList is_colfilter;
    QString is_original_filter;
    QString is_original_sort;
    // The sort criteria in force; remembered as "sortorder".
    QString is_sort;
    bool ib_popupmenu = false;
    bool ib_arrow = false;
    bool ib_shade = false;
    bool ib_highlite = false;
    // The header lines exist; they are created once per service.
    bool ib_highlite_added = false;
    // The column whose heading is highlighted ("" for none) and that heading's colour
    // before it was highlighted, as the data window reported it.
    QString is_prevcolumn;
    QString is_prevcolor;
    // That heading's caption colour before it was highlighted.
    QString is_prevtextcolor;
    // Designed width per column number (element n at index n - 1).
    QList<int> ii_original;
    // The columns visible at set-up, left to right, where the design put them.
    std::vector<dw::GridColumn> ic_designed;
    // Columns registered for width fitting, duplicates allowed.
    QStringList is_colname;
    // Colours of header lines 1 (lowest) to 3 at rest and highlighted.
    std::array<QString, 3> is_graycolor;
    std::array<QString, 3> is_orangecolor;
    // A leave notification is requested.
    bool ib_mouseover = false;

    // What a column needs to show its heading and every value whole.
    struct Fit
    {
        int column = 0; // 0: not a column
        bool measured = false;
        int units = 0; // layout units
        long widestRow = 0; // the first row whose value is widest, 0 without rows
    };
    [[nodiscard]] Fit measureWidth(const QString &as_colname);
    // The designed column of that name as the design spells it; empty when there is none.
    [[nodiscard]] QString designedName(const QString &as_colname) const;
    [[nodiscard]] QStringList designedNames() const;
    // Shows the designed columns named and hides the others; the ones shown again join at
    // the right end in the order named, with header lines when the style has them.
    void showOnly(const QStringList &as_shown);
    // The commands of of_process_popup; false when a filter command met no column (the
    // frame then ends without raising rowfocuschanged).
    bool runCommand(const QString &as_process, long al_row, const QString &as_colname);
    bool filterBySelection(bool ab_exclude, long al_row, const QString &as_colname);
    bool removeSelectionFilter(const QString &as_colname);
    void applyFilter(const QString &as_filter);
    void sortBy(const QString &as_criteria);
    void specifySort();
    void specifyFilter();
    // The restore and highlight steps of the heading hover.
    void restoreHeading(const QString &as_col);
    void highlightHeading(const QString &as_col);
    // The colour of a column's sort arrow on its heading's present background: the
    // button shadow where that stands out enough, else white or the dark caption colour.
    [[nodiscard]] QString arrowColour(const QString &as_col);
    // The column names of the sort criteria in force, keys reduced to their columns.
    [[nodiscard]] QStringList sortedColumns();
};
