// The grid control's events as real mouse and keyboard input produces them: what is
// under the pointer, in which order clicks and row changes arrive, the leave message,
// tool tips, resizing, the split horizontal scrolling, and the zoom.

#include "gridfixture.h"

#include "datawindowcontrol.h"
#include "units.h"

#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <QToolTip>
#include <QWheelEvent>

using namespace Qt::StringLiterals;

namespace {

class RecordingControl : public dw::DataWindowControl
{
public:
    QStringList log;
    QList<QPoint> positions; // xpos, ypos of pointer events
    QString condition; // appended to the statement in sqlpreview

    long clicked(int x, int y, long row, const dw::DwObjectRef &dwo) override
    {
        return note(u"clicked"_s, x, y, row, dwo);
    }
    long doubleclicked(int x, int y, long row, const dw::DwObjectRef &dwo) override
    {
        return note(u"doubleclicked"_s, x, y, row, dwo);
    }
    long rbuttondown(int x, int y, long row, const dw::DwObjectRef &dwo) override
    {
        return note(u"rbuttondown"_s, x, y, row, dwo);
    }
    long mousemove(int x, int y, long row, const dw::DwObjectRef &dwo) override
    {
        return note(u"mousemove"_s, x, y, row, dwo);
    }
    long rowfocuschanged(long row) override
    {
        log.append(u"rowfocuschanged(%1)"_s.arg(row));
        return 0;
    }
    long retrieveend(long rows) override
    {
        log.append(u"retrieveend(%1)"_s.arg(rows));
        return 0;
    }
    long resize(quint32 type, int width, int height) override
    {
        log.append(u"resize(%1,%2,%3)"_s.arg(type).arg(width).arg(height));
        return 0;
    }
    long sqlpreview(int, int, const QString &sql, int, long) override
    {
        log.append(u"sqlpreview"_s);
        if (!condition.isEmpty())
            SetSQLPreview(sql + condition);
        return 0;
    }
    long other(quint32 wparam, qint64 lparam) override
    {
        log.append(u"other(%1,%2) message %3"_s.arg(wparam).arg(lparam).arg(currentMessage()));
        return 0;
    }

private:
    long note(const QString &event, int x, int y, long row, const dw::DwObjectRef &dwo)
    {
        log.append(u"%1(%2,%3,%4,%5)"_s.arg(event).arg(row).arg(dwo.name, dwo.type, dwo.band));
        positions.append({x, y});
        return 0;
    }
};

} // namespace

class TestGridControl : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<gridtest::Directory> m_directory;
    std::unique_ptr<RecordingControl> m_control;

    // A point of the canvas in pixels from layout units of the header band, or of a row's
    // detail band (rows count from 1).
    [[nodiscard]] QPoint headerPoint(int x, int y) const
    {
        return {qRound(dw::units::toPixelsX(x, m_control->logicalDpiX())),
                qRound(dw::units::toPixelsY(y, m_control->logicalDpiY()))};
    }
    [[nodiscard]] QPoint rowPoint(long row, int x, int y) const
    {
        return headerPoint(x, 68 + int(row - 1) * 120 + y);
    }
    [[nodiscard]] QWidget *canvas() const { return m_control->childAt(QPoint(5, 5)); }
    // The row under a point of the canvas.
    [[nodiscard]] long rowAt(QPoint canvasPixel) const
    {
        long row = -1;
        (void)m_control->objectAt(canvas()->mapTo(m_control.get(), canvasPixel), &row);
        return row;
    }

    void click(QPoint at, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(canvas(), button, Qt::NoModifier, at);
    }
    void showListing(int rows, const QMap<std::pair<QString, int>, QString> &special = {})
    {
        m_directory = std::make_unique<gridtest::Directory>(rows, special);
        QVERIFY2(m_directory->ok(), qPrintable(m_directory->why()));
        m_control = std::make_unique<RecordingControl>();
        m_control->setDataObject(u"dw_listado_grid"_s);
        QCOMPARE(m_control->dataobject(), u"dw_listado_grid"_s);
        m_control->QWidget::resize(800, 400);
        m_control->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_control.get()));
        QCOMPARE(m_control->SetTransObject(m_directory->transaction()), 1);
        QCOMPARE(m_control->Retrieve(), long(rows));
        QVERIFY(canvas());
        m_control->log.clear();
        m_control->positions.clear();
    }

private slots:
    void cleanup()
    {
        m_control.reset();
        m_directory.reset();
    }

    void retrievalEvents()
    {
        showListing(3);
        // sqlpreview comes before the statement is sent and may change it.
        m_control->condition = u" where nombre = 'nombre 2'"_s;
        QCOMPARE(m_control->Retrieve(), 1L);
        QCOMPARE(m_control->log, QStringList({u"sqlpreview"_s, u"retrieveend(1)"_s}));
        QCOMPARE(m_control->GetItemString(1, u"especialidad"_s), gridtest::cell(u"especialidad"_s, 2));
    }

    void objectUnderThePointer()
    {
        showListing(3);
        // A heading, a cell, the empty space under the rows.
        click(headerPoint(400, 30));
        click(rowPoint(2, 2300, 60));
        click(rowPoint(5, 400, 60));
        QCOMPARE(
            m_control->log,
            QStringList({u"clicked(0,nombre_t,text,header)"_s, u"clicked(2,especialidad,column,detail)"_s,
                         u"rowfocuschanged(2)"_s, u"clicked(0,datawindow,datawindow,detail)"_s}));
        // Positions are layout units relative to the control.
        QVERIFY(qAbs(m_control->positions[0].x() - 400) <= 5);
        QVERIFY(qAbs(m_control->positions[0].y() - 30) <= 4);

        // An object created over the heading is on top of it; brought to the front, the
        // heading is on top again.
        m_control->Modify(
            uR"(create text(band=header alignment="1" text="t" border="0" color="0" x="9" y="4" height="44" width="1111" name=nombre_arrow visible="1" font.face="Marlett" font.height="-10" font.weight="400" background.mode="1" background.color="536870912"))"_s);
        m_control->log.clear();
        click(headerPoint(400, 30));
        QCOMPARE(m_control->SetPosition(u"nombre_t"_s, u"header"_s, true), 1);
        click(headerPoint(400, 30));
        // An invisible object is not hit.
        m_control->Modify(u"nombre_t.visible=0"_s);
        click(headerPoint(400, 30));
        QCOMPARE(m_control->log,
                 QStringList({u"clicked(0,nombre_arrow,text,header)"_s, u"clicked(0,nombre_t,text,header)"_s,
                              u"clicked(0,nombre_arrow,text,header)"_s}));

        // Behind the rows: a stripe in the background band shows under empty space only.
        m_control->Modify(
            uR"(create text(band=background text="" x="3000" y="0" height="2000" width="400" name=cargo_shade background.mode="0" background.color="16250871"))"_s);
        m_control->log.clear();
        click(rowPoint(1, 3100, 60)); // over the nivel_sni cell: the cell is on top
        click(rowPoint(6, 3100, 60)); // under the rows: the stripe
        QCOMPARE(m_control->log,
                 QStringList({u"clicked(1,nivel_sni,column,detail)"_s, u"rowfocuschanged(1)"_s,
                              u"clicked(0,cargo_shade,text,background)"_s}));
        long row = -1;
        const dw::DwObjectRef ref
            = m_control->objectAt(canvas()->mapTo(m_control.get(), rowPoint(3, 3400, 10)), &row);
        QCOMPARE(ref.name, u"institucion"_s);
        QCOMPARE(row, 3L);
    }

    void clicksAndRowFocus()
    {
        showListing(3);
        QCOMPARE(m_control->GetRow(), 1L);
        click(rowPoint(1, 400, 60)); // the current row: no focus change
        click(rowPoint(3, 400, 60)); // clicked first, then the row moves
        click(rowPoint(2, 400, 60), Qt::RightButton); // right button: no row change
        // A double click: the first press clicks, the second raises doubleclicked.
        click(rowPoint(3, 400, 60));
        QTest::mouseDClick(canvas(), Qt::LeftButton, Qt::NoModifier, rowPoint(3, 400, 60));
        QTest::mouseMove(canvas(), headerPoint(1300, 20));
        QCOMPARE(
            m_control->log,
            QStringList({u"clicked(1,nombre,column,detail)"_s, u"clicked(3,nombre,column,detail)"_s,
                         u"rowfocuschanged(3)"_s, u"rbuttondown(2,nombre,column,detail)"_s,
                         u"clicked(3,nombre,column,detail)"_s, u"doubleclicked(3,nombre,column,detail)"_s,
                         u"mousemove(0,tipo_miembro_red_t,text,header)"_s}));
        QCOMPARE(m_control->GetRow(), 3L);
        QVERIFY(!m_control->IsSelected(3)); // clicks select nothing by themselves
    }

    // At 150 % the 68-unit header is 26 pixels high and each 120-unit row 45: a click hits
    // the row and the heading drawn under the pointer, not those the designed size puts
    // there, and events still report positions on the control.
    void zoomedClicksHitWhatIsDrawn()
    {
        showListing(8);
        m_control->setZoom(1.5);
        click(QPoint(100, 26 + 2 * 45 + 40)); // row 5 at the designed size
        click(QPoint(450, 12)); // the heading of grado_academico at the designed size
        QTest::mouseDClick(canvas(), Qt::LeftButton, Qt::NoModifier, QPoint(100, 26 + 45 + 5));
        QCOMPARE(m_control->log,
                 QStringList({u"clicked(3,nombre,column,detail)"_s, u"rowfocuschanged(3)"_s,
                              u"clicked(0,tipo_miembro_red_t,text,header)"_s,
                              u"doubleclicked(2,nombre,column,detail)"_s}));
        const QPoint onControl = canvas()->mapTo(m_control.get(), QPoint(450, 12));
        QCOMPARE(m_control->positions[1],
                 QPoint(qRound(dw::units::toUnitsX(onControl.x(), m_control->logicalDpiX())),
                        qRound(dw::units::toUnitsY(onControl.y(), m_control->logicalDpiY()))));
    }

    // Ctrl+wheel and Ctrl++ / Ctrl+- step a quarter up or down within the limits, Ctrl+0
    // goes back to the designed size; the wheel alone scrolls.
    void zoomSteps()
    {
        showListing(40);
        m_control->setFocus();
        const auto wheel = [&](int turn, Qt::KeyboardModifiers modifiers) {
            QWheelEvent event(QPointF(100, 100), canvas()->mapToGlobal(QPointF(100, 100)), QPoint(),
                              QPoint(0, turn), Qt::NoButton, modifiers, Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(canvas(), &event);
        };
        wheel(-120, Qt::NoModifier);
        QCOMPARE(m_control->zoom(), 1.0);
        QCOMPARE(rowAt(QPoint(100, 17 + 10)), 4L);
        wheel(120, Qt::ControlModifier);
        QTest::keyClick(m_control.get(), Qt::Key_Plus, Qt::ControlModifier);
        QCOMPARE(m_control->zoom(), 1.5625);
        for (int i = 0; i < 12; ++i)
            QTest::keyClick(m_control.get(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(m_control->zoom(), 0.25);
        QTest::keyClick(m_control.get(), Qt::Key_0, Qt::ControlModifier);
        QCOMPARE(m_control->zoom(), 1.0);
        for (int i = 0; i < 12; ++i)
            wheel(120, Qt::ControlModifier);
        QCOMPARE(m_control->zoom(), 8.0);
    }

    void keyboardMovesTheCurrentRowIntoView()
    {
        showListing(60);
        m_control->setFocus();
        QTest::keyClick(m_control.get(), Qt::Key_Down);
        QTest::keyClick(m_control.get(), Qt::Key_Up);
        QTest::keyClick(m_control.get(), Qt::Key_Up); // already on the first row
        QCOMPARE(m_control->log, QStringList({u"rowfocuschanged(2)"_s, u"rowfocuschanged(1)"_s}));

        QTest::keyClick(m_control.get(), Qt::Key_End);
        QCOMPARE(m_control->GetRow(), 60L);
        // The last row is in view: the lowest whole row of the canvas is row 60.
        const int visible = (canvas()->height() - 17) / 30;
        QCOMPARE(rowAt(QPoint(100, 17 + (visible - 1) * 30 + 10)), 60L);

        QTest::keyClick(m_control.get(), Qt::Key_PageUp);
        QCOMPARE(m_control->GetRow(), 60L - visible);
        QTest::keyClick(m_control.get(), Qt::Key_Home);
        QCOMPARE(m_control->GetRow(), 1L);
        QCOMPARE(rowAt(QPoint(100, 17 + 10)), 1L);
        QVERIFY(!m_control->IsSelected(1) && !m_control->IsSelected(60));
        // Down from the lowest whole row scrolls one row: the new current row is the lowest.
        for (int i = 0; i < visible; ++i)
            QTest::keyClick(m_control.get(), Qt::Key_Down);
        QCOMPARE(m_control->GetRow(), long(visible) + 1);
        QCOMPARE(rowAt(QPoint(100, 17 + (visible - 1) * 30 + 10)), long(visible) + 1);
        QTest::keyClick(m_control.get(), Qt::Key_Home);

        // ScrollToRow keeps a row in view without making it current.
        QCOMPARE(m_control->ScrollToRow(40), 1);
        QCOMPARE(m_control->GetRow(), 1L);
        QCOMPARE(rowAt(QPoint(100, 17 + (visible - 1) * 30 + 10)), 40L);
    }

    void leavingRaisesOtherWithTheLeaveMessage()
    {
        showListing(1);
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(m_control.get(), &leave);
        QCOMPARE(m_control->log, QStringList({u"other(0,0) message 675"_s}));
        QCOMPARE(m_control->currentMessage(), 0u);
    }

    void resizeInLayoutUnits()
    {
        showListing(1);
        m_control->Resize(3200, 1600);
        QCOMPARE(m_control->size(), QSize(700, 400));
        QCOMPARE(m_control->Width(), 3200);
        QCOMPARE(m_control->Height(), 1600);
        QCOMPARE(m_control->log, QStringList({u"resize(0,3200,1600)"_s}));
    }

    void toolTipsShowTheWholeValue()
    {
        // A value far wider than its cell, with commas, quotes, accents and a line break.
        const QString longValue = u"Biocatálisis, \"enzimas\" inmovilizadas y cinética de reacciones en "
                                  u"medios no acuosos;\nproducción de biocombustibles a partir de residuos "
                                  u"agroindustriales del sureste (Oaxaca, Chiapas, Tabasco)"_s;
        showListing(2, {{{u"institucion"_s, 1}, longValue}});
        const QPoint onLong = rowPoint(1, 3400, 60);
        QHelpEvent longTip(QEvent::ToolTip, onLong, canvas()->mapToGlobal(onLong));
        QCoreApplication::sendEvent(canvas(), &longTip);
        QTRY_VERIFY(QToolTip::isVisible());
        QTextDocument shown;
        shown.setHtml(QToolTip::text());
        QCOMPARE(shown.toPlainText().simplified(), longValue.simplified());

        // especialidad has its tip on: the cell's own value.
        QHelpEvent onTip(QEvent::ToolTip, rowPoint(2, 2300, 60),
                         canvas()->mapToGlobal(rowPoint(2, 2300, 60)));
        QCoreApplication::sendEvent(canvas(), &onTip);
        QTRY_COMPARE(QToolTip::text(), gridtest::cell(u"especialidad"_s, 2));

        // nombre has none.
        QHelpEvent offTip(QEvent::ToolTip, rowPoint(1, 400, 60), canvas()->mapToGlobal(rowPoint(1, 400, 60)));
        QCoreApplication::sendEvent(canvas(), &offTip);
        QTRY_VERIFY(QToolTip::text().isEmpty() || !QToolTip::isVisible());
    }

    void splitScrollingShowsTwoPanes()
    {
        showListing(2);
        m_control->setHSplitScroll(true);
        const auto horizontal = [&] {
            QList<QScrollBar *> shown;
            for (QScrollBar *bar : m_control->findChildren<QScrollBar *>())
                if (bar->orientation() == Qt::Horizontal && bar->isVisible())
                    shown.append(bar);
            std::sort(shown.begin(), shown.end(), [](auto *a, auto *b) { return a->x() < b->x(); });
            return shown;
        };
        QCOMPARE(horizontal().size(), 1);
        // The grip sits at the left of the horizontal bar; drag it to the middle.
        const QPoint gripAt(2, horizontal().first()->y() + 4);
        QWidget *grip = m_control->childAt(gripAt);
        QVERIFY(grip && !qobject_cast<QScrollBar *>(grip));
        QTest::mousePress(grip, Qt::LeftButton, Qt::NoModifier, QPoint(1, 4));
        QMouseEvent drag(QEvent::MouseMove, QPointF(401, 4), grip->mapToGlobal(QPointF(401, 4)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(grip, &drag);
        QTest::mouseRelease(grip, Qt::LeftButton, Qt::NoModifier, QPoint(401, 4));
        QCOMPARE(horizontal().size(), 2);

        // The right pane scrolls on its own: the left one still shows the first heading.
        horizontal().at(1)->setValue(horizontal().at(1)->maximum());
        const QPoint left = canvas()->mapTo(m_control.get(), headerPoint(400, 30));
        const QPoint right = canvas()->mapTo(m_control.get(), QPoint(790 - 20, 8));
        QCOMPARE(m_control->objectAt(left).name, u"nombre_t"_s);
        QCOMPARE(m_control->objectAt(right).name, u"enzimas_t"_s);
        // Scrolling the left pane moves only the left pane.
        horizontal().at(0)->setValue(horizontal().at(0)->maximum());
        QVERIFY(m_control->objectAt(left).name != u"nombre_t"_s);
        QCOMPARE(m_control->objectAt(right).name, u"enzimas_t"_s);
    }
};

QTEST_MAIN(TestGridControl)
#include "tst_gridcontrol.moc"
