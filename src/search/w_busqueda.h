#pragma once

#include "window.h"

#include <QPointer>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace search {
class dw_listado;
}

// The main window: searches the member directory in every field or in one chosen
// field, lists the members found, and opens a member's card on a double click.
// The search state lives in the controls themselves and is read at each retrieval.
class w_busqueda : public rt::Window
{
    Q_OBJECT
public:
    explicit w_busqueda(QWidget *parent = nullptr);

    // The controls, in creation order (owned by the window).
    QLabel *st_4 = nullptr;
    QLabel *st_3 = nullptr;
    QLabel *st_2 = nullptr;
    QLabel *p_1 = nullptr;
    QLabel *st_1 = nullptr;
    QCheckBox *cbx_cualquiera = nullptr;
    search::dw_listado *dw_listado = nullptr;
    QComboBox *ddlb_elemento = nullptr;
    QPushButton *cb_buscar = nullptr;
    QLineEdit *sle_filtro = nullptr;
    QGroupBox *gb_1 = nullptr;
    // Right-aligned on the line of st_2: how many members the listing shows.
    QLabel *st_cuenta = nullptr;

    // Counts the listed members again into st_cuenta (after a retrieve or a filter).
    void wf_showcount();
    // Shows a word of progress in st_cuenta (a long retrieval) until the next count.
    void wf_showstatus(const QString &as_text);

    // The listing follows the window: it takes whatever the window grows or shrinks by,
    // the controls above it stay, the hint and the count stay just under it.
    using rt::Window::resize;
    long resize(quint32 sizetype, int newwidth, int newheight) override;

protected:
    // Enter that no control takes presses the default button; Ctrl++, Ctrl+- and Ctrl+0
    // zoom the listing.
    void keyPressEvent(QKeyEvent *event) override;
    // A long search says "Leyendo…" where the count goes, not in the title.
    void showReading(bool reading) override;

private:
    void createControlsInOrder();
    void cbx_cualquiera_clicked();
    void cb_buscar_clicked();
    [[nodiscard]] QString searchCondition() const;

    // The size the window was designed at, and where the controls below the controls
    // above sit at that size, in pixels.
    QSize m_designedSize;
    QRect m_designedGrid;
    QRect m_designedHint;
    QRect m_designedCount;
    bool m_searched = false;
    // A search asked for while one was reading: it runs once that one has stopped.
    bool m_searchAgain = false;
};

// The one open search window (null when closed).
extern QPointer<w_busqueda> g_w_busqueda;
