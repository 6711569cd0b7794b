#include "cardwindow.h"

#include "datawindowcontrol.h"
#include "documentfolder.h"
#include "globals.h"
#include "objects/layoutsyntax.h"
#include "printjob.h"
#include "runtime.h"
#include "stockpictures.h"

#include <QPushButton>
#include <QShortcut>

namespace {

const QString kTitle = QStringLiteral("Consulta de Fichas");

// The card's control: bound to the program's transaction when it is constructed.
class CardControl final : public dw::DataWindowControl
{
public:
    explicit CardControl(QWidget *parent) : dw::DataWindowControl(parent) {}
    void constructor() override { SetTransObject(rt::SQLCA()); }
};

QPushButton *pictureButton(const QString &picture, const QString &tip, QWidget *parent)
{
    auto *button = new QPushButton(parent);
    button->setIcon(rt::stockPicture(picture));
    button->setIconSize(QSize(24, 24));
    button->setToolTip(tip);
    button->setFont(QFont(QStringLiteral("Tahoma"), 10));
    return button;
}

} // namespace

CardWindow::CardWindow(const QString &dataObject, QWidget *parent)
    : rt::Window(parent)
    , dw_sesiones(new CardControl(this))
    , pb_insertar(pictureButton(QStringLiteral("Print!"), QStringLiteral("Imprime el Reporte"), this))
    , pb_salir(pictureButton(QStringLiteral("Exit!"), QStringLiteral("Cierra la Ventana Actual"), this))
{
    setTitle(kTitle);
    setUnitsSize(4530, 1488, true);
    setBackColor(67108864); // the system's button-face colour
    setIconName(QStringLiteral("AppIcon!"));

    dw_sesiones->setObjectName(QStringLiteral("dw_sesiones"));
    rt::placeControl(*dw_sesiones, 37, 36, 4421, 1204);
    dw_sesiones->setScrollBars(true, true);
    dw_sesiones->setHSplitScroll(true);
    dw_sesiones->setLiveScroll(true);
    dw_sesiones->setDataObject(dataObject);

    pb_insertar->setObjectName(QStringLiteral("pb_insertar"));
    rt::placeControl(*pb_insertar, 3579, 1252, 151, 116);
    pb_salir->setObjectName(QStringLiteral("pb_salir"));
    rt::placeControl(*pb_salir, 4306, 1252, 151, 116);
    connect(pb_insertar, &QPushButton::clicked, this, &CardWindow::printCard);
    connect(pb_salir, &QPushButton::clicked, this, [this] { rt::Close(*this); });
    // Escape leaves the card as the exit button does.
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
            [this] { rt::Close(*this); });

    createControls();
}

void CardWindow::open()
{
    // An empty result is not reported: the card shows without data.
    dw_sesiones->Retrieve({parameter()});
    const DocumentNames names = documentNames();
    dw_sesiones->Modify(QStringLiteral("DataWindow.Print.DocumentName=%1 DataWindow.Print.FileName=%2")
                            .arg(dw::syntax::quote(names.title), dw::syntax::quote(names.fileBaseName)));
    dw_sesiones->Modify(QStringLiteral("DataWindow.Print.Preview=yes"));
    setWindowStateName(QStringLiteral("maximized"));
}

long CardWindow::resize(quint32 sizetype, int newwidth, int newheight)
{
    Q_UNUSED(sizetype);
    dw_sesiones->Resize(newwidth - 150, newheight - 350);
    rt::placeControl(*pb_salir, newwidth - 270, newheight - 285, 151, 116);
    rt::placeControl(*pb_insertar, newwidth - 1070, newheight - 285, 151, 116);
    return 0;
}

CardWindow::DocumentNames CardWindow::documentNames() const
{
    const QString name = dw_sesiones->model().RowCount() > 0
        ? dw_sesiones->model().GetItemString(1, QStringLiteral("nombre")).simplified()
        : QString();
    if (name.isEmpty())
        return {QStringLiteral("Ficha"), QStringLiteral("ficha")};
    return {QStringLiteral("Ficha de ") + name,
            QStringLiteral("ficha-") + dw::safeFileBaseName(name, QStringLiteral("miembro"))};
}

void CardWindow::printCard()
{
    const int chosen = dw::selectPrinter(this, dw::documentFileBaseName(dw_sesiones->model()));
    if (chosen == -1) {
        rt::MessageBox(
            kTitle, QStringLiteral("No fue posible activar el seleccionador de impresoras de Windows"), this);
        return;
    }
    // A cancelled selection prints nothing; an empty card has nothing to print.
    if (chosen == 1 && dw_sesiones->RowCount() > 0)
        (void)dw_sesiones->Print();
}
