#include "w_busqueda.h"

#include "dw_listado.h"
#include "listingcount.h"
#include "objectpainter.h"
#include "picture.h"
#include "searchcondition.h"
#include "units.h"
#include "zoomsteps.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>

#include <algorithm>
#include <optional>
#include <utility>

using namespace Qt::StringLiterals;

QPointer<w_busqueda> g_w_busqueda;

namespace {

constexpr qint64 navy = 8388608; // RGB(0, 0, 128)
constexpr qint64 buttonFace = 67108864; // the system's button-face colour
constexpr qint64 windowText = 33554432; // the system's window-text colour

void setColors(QWidget &control, qint64 text, std::optional<qint64> background)
{
    QPalette palette = control.palette();
    palette.setColor(QPalette::WindowText, dw::layoutColor(text));
    palette.setColor(QPalette::Text, dw::layoutColor(text));
    if (background) {
        palette.setColor(QPalette::Window, dw::layoutColor(*background));
        control.setAutoFillBackground(true);
    }
    control.setPalette(palette);
}

// A static text: top-left text on an opaque background, never focused.
QLabel *staticText(QWidget &parent, const QString &text, const QFont &font, qint64 color)
{
    auto *label = new QLabel(text, &parent);
    label->setFont(font);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setFocusPolicy(Qt::NoFocus);
    setColors(*label, color, buttonFace);
    return label;
}

QFont layoutFont(const QString &face, int points)
{
    QFont result(face);
    result.setPointSize(points);
    result.setWeight(QFont::Normal);
    return result;
}

} // namespace

w_busqueda::w_busqueda(QWidget *parent) : rt::Window(parent)
{
    setTitle(u"Consulta de Directorio"_s);
    setUnitsSize(5001, 2128, true);
    setBackColor(buttonFace);
    setIconName(u"AppIcon!"_s);
    createControlsInOrder();
    createControls();
    m_designedSize = size();
    m_designedGrid = dw_listado->geometry();
    m_designedHint = st_2->geometry();
    m_designedCount = st_cuenta->geometry();
    // Where the user left it, once the controls' designed places are known.
    rememberPlacement(u"w_busqueda"_s);
    connect(dw_listado, &dw::DataWindowControl::rowsChanged, this, &w_busqueda::wf_showcount);
}

void w_busqueda::createControlsInOrder()
{
    const QFont tahoma10 = layoutFont(u"Tahoma"_s, 10);
    const QFont arial8 = layoutFont(u"Arial"_s, 8);
    const QFont arial9 = layoutFont(u"Arial"_s, 9);

    st_4 = staticText(*this, u"Click en los encabezados para ordenar de manera ascendente o descendente"_s,
                      tahoma10, navy);
    rt::placeControl(*st_4, 242, 248, 2039, 80);

    st_3 = staticText(*this, u" Las búsquedas son posibles por palabra o por una parte de la misma "_s,
                      arial8, windowText);
    rt::placeControl(*st_3, 1783, 32, 1559, 64);

    st_2 = staticText(*this, u"Doble click en el registro para abrir la ficha"_s, tahoma10, navy);
    rt::placeControl(*st_2, 242, 1952, 1189, 80);

    // The picture is stretched over the control, as the runtime draws pictures.
    p_1 = new QLabel(this);
    p_1->setFocusPolicy(Qt::NoFocus);
    p_1->setScaledContents(true);
    p_1->setPixmap(QPixmap::fromImage(dw::loadPicture(u"Fotos\\Logo_zemparol.jpg"_s)));
    rt::placeControl(*p_1, 4293, 8, 640, 248);

    st_1 = staticText(*this, u"Seleccione el campo a buscar"_s, arial9, windowText);
    rt::placeControl(*st_1, 110, 120, 823, 56);

    cbx_cualquiera = new QCheckBox(u"Buscar por cualquier campo  "_s, this);
    cbx_cualquiera->setFont(arial8);
    cbx_cualquiera->setChecked(true);
    setColors(*cbx_cualquiera, windowText, buttonFace);
    rt::placeControl(*cbx_cualquiera, 937, 28, 718, 72);
    connect(cbx_cualquiera, &QCheckBox::clicked, this, &w_busqueda::cbx_cualquiera_clicked);

    dw_listado = new search::dw_listado([this] { return searchCondition(); }, this);
    dw_listado->setDataObject(u"dw_listado_grid"_s);
    dw_listado->setScrollBars(true, true);
    dw_listado->setHSplitScroll(true);
    rt::placeControl(*dw_listado, 55, 332, 4905, 1620);

    ddlb_elemento = new QComboBox(this);
    ddlb_elemento->setFont(arial8);
    ddlb_elemento->setEditable(false);
    ddlb_elemento->addItems(search::fieldCaptions());
    ddlb_elemento->setCurrentIndex(-1);
    ddlb_elemento->setEnabled(false);
    // The designed height is the closed box and its open list together: the list drops
    // below the box and scrolls, whatever the style's own habit is.
    ddlb_elemento->setStyleSheet(u"QComboBox { combobox-popup: 0; }"_s);
    ddlb_elemento->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    const int closedHeight = ddlb_elemento->sizeHint().height();
    const double listHeight = dw::units::toPixelsY(356) - closedHeight;
    ddlb_elemento->setMaxVisibleItems(
        std::max(1, int(listHeight / std::max(1, ddlb_elemento->fontMetrics().height() + 2))));
    rt::placeControl(*ddlb_elemento, 942, 112, 686, 356);
    ddlb_elemento->resize(ddlb_elemento->width(), closedHeight);

    cb_buscar = new QPushButton(u"Buscar"_s, this);
    cb_buscar->setFont(arial9);
    cb_buscar->setDefault(true);
    rt::placeControl(*cb_buscar, 3826, 104, 366, 104);
    connect(cb_buscar, &QPushButton::clicked, this, &w_busqueda::cb_buscar_clicked);

    sle_filtro = new QLineEdit(this);
    sle_filtro->setFont(arial8);
    setColors(*sle_filtro, windowText, std::nullopt);
    rt::placeControl(*sle_filtro, 1682, 112, 2103, 88);

    gb_1 = new QGroupBox(u"Desmarcar para seleccionar campo"_s, this);
    gb_1->setFont(arial8);
    gb_1->setFocusPolicy(Qt::NoFocus);
    setColors(*gb_1, windowText, std::nullopt);
    rt::placeControl(*gb_1, 55, 32, 4201, 204);
    // The frame stays behind the controls it surrounds, which stay clickable.
    gb_1->lower();

    // Not one of the designed controls: it sits on the hint's line, from the hint's end
    // to the listing's right edge, and reads like the hint.
    st_cuenta = staticText(*this, QString(), tahoma10, navy);
    st_cuenta->setObjectName(u"st_cuenta"_s);
    st_cuenta->setAlignment(Qt::AlignRight | Qt::AlignTop);
    rt::placeControl(*st_cuenta, 242 + 1189, 1952, 55 + 4905 - (242 + 1189), 80);

    setTabOrder(sle_filtro, ddlb_elemento);
    setTabOrder(ddlb_elemento, cbx_cualquiera);
    setTabOrder(cbx_cualquiera, cb_buscar);
    setTabOrder(cb_buscar, dw_listado);
    sle_filtro->setFocus();
}

void w_busqueda::keyPressEvent(QKeyEvent *event)
{
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter)
        && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier && cb_buscar->isEnabled()) {
        cb_buscar->click();
        return;
    }
    // The listing zooms wherever the keyboard is in the window.
    if (const auto zoom = dw::zoom::afterKey(*event, dw_listado->zoom())) {
        dw_listado->setZoom(*zoom);
        return;
    }
    rt::Window::keyPressEvent(event);
}

void w_busqueda::cbx_cualquiera_clicked()
{
    // Only the state changes: the field shown in the drop-down stays as it was.
    ddlb_elemento->setEnabled(!cbx_cualquiera->isChecked());
}

void w_busqueda::wf_showcount()
{
    // The rows of a search still reading are not the listing yet: how many have come so far.
    if (dw_listado->model().IsReading()) {
        st_cuenta->setText(search::readingText(dw_listado->model().RowsRead()));
        return;
    }
    if (dw_listado->model().ReadingStopped()) {
        st_cuenta->setText(search::stoppedText(dw_listado->RowCount(), dw_listado->model().FilteredCount()));
        return;
    }
    st_cuenta->setText(
        search::countText(m_searched, dw_listado->RowCount(), dw_listado->model().FilteredCount()));
}

void w_busqueda::wf_showstatus(const QString &as_text)
{
    st_cuenta->setText(as_text);
}

void w_busqueda::showReading(bool reading)
{
    if (reading)
        wf_showstatus(search::readingText(dw_listado->model().RowsRead()));
    else
        wf_showcount();
}

long w_busqueda::resize(quint32 sizetype, int newwidth, int newheight)
{
    const long result = rt::Window::resize(sizetype, newwidth, newheight);
    if (!m_designedSize.isValid())
        return result; // still being built
    // The grid never shrinks below a few rows and columns, whatever the window does.
    constexpr int narrowest = 160;
    constexpr int lowest = 80;
    const int dx = std::max(width() - m_designedSize.width(), narrowest - m_designedGrid.width());
    const int dy = std::max(height() - m_designedSize.height(), lowest - m_designedGrid.height());
    dw_listado->setGeometry(m_designedGrid.adjusted(0, 0, dx, dy));
    st_2->setGeometry(m_designedHint.translated(0, dy));
    st_cuenta->setGeometry(m_designedCount.translated(0, dy).adjusted(0, 0, dx, 0));
    return result;
}

void w_busqueda::cb_buscar_clicked()
{
    // A new search while one reads: that one stops, keeping what it read, and this one runs
    // once it has returned.
    if (dw_listado->isRetrieving()) {
        m_searchAgain = true;
        dw_listado->StopReading();
        return;
    }
    // A search that fails keeps the listing and its count as they were; only a search that
    // ran can say that nobody matched.
    if (dw_listado->Retrieve() >= 0)
        m_searched = true;
    // The query has no order of its own: the sort in force orders the new rows, and the
    // grid style's end-of-retrieval handling runs again on the sorted rows.
    dw_listado->Sort();
    dw_listado->retrieveend(dw_listado->RowCount());
    dw_listado->rowfocuschanged(1);
    wf_showcount();
    if (std::exchange(m_searchAgain, false))
        QMetaObject::invokeMethod(this, &w_busqueda::cb_buscar_clicked, Qt::QueuedConnection);
}

QString w_busqueda::searchCondition() const
{
    return search::condition(cbx_cualquiera->isChecked(), ddlb_elemento->currentText(), sle_filtro->text());
}
