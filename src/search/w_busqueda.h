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

protected:
    // Enter that no control takes presses the default button.
    void keyPressEvent(QKeyEvent *event) override;

private:
    void createControlsInOrder();
    void cbx_cualquiera_clicked();
    void cb_buscar_clicked();
    [[nodiscard]] QString searchCondition() const;
};

// The one open search window (null when closed).
extern QPointer<w_busqueda> g_w_busqueda;
