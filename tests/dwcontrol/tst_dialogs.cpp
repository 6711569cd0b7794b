// The sort and filter dialogs and the column chooser, driven through their widgets without
// being shown.

#include "columnheading.h"
#include "columnsdialog.h"
#include "dialogs.h"
#include "filterdialog.h"
#include "outputfixture.h"
#include "sortdialog.h"

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

using namespace outputtest;

namespace {

QPushButton *dialogButton(QDialog &dialog, const QString &text)
{
    for (QPushButton *button : dialog.findChildren<QPushButton *>()) {
        if (button->text() == text)
            return button;
    }
    return nullptr;
}

QListWidgetItem *itemNamed(QListWidget *list, const QString &text)
{
    const QList<QListWidgetItem *> found = list->findItems(text, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.front();
}

} // namespace

class TestDialogs : public QObject
{
    Q_OBJECT

    dw::DataWindow m_dw;

private slots:
    void initTestCase() { QVERIFY(m_dw.setSyntax(layoutSyntax({}))); }

    // Keys are added by heading, get a direction each, move and go; the result reads
    // as sort criteria.
    void sortKeys()
    {
        dw::SortDialog dialog(m_dw, u"nombre D"_s);
        auto *columns = dialog.findChild<QListWidget *>(u"columnList"_s);
        auto *keys = dialog.findChild<QTreeWidget *>(u"keyList"_s);
        auto *add = dialog.findChild<QPushButton *>(u"addButton"_s);
        auto *remove = dialog.findChild<QPushButton *>(u"removeButton"_s);
        auto *up = dialog.findChild<QPushButton *>(u"upButton"_s);
        QVERIFY(columns && keys && add && remove && up);

        QCOMPARE(columns->count(), 4);
        QCOMPARE(columns->item(2)->text(), u"Institución"_s);
        QCOMPARE(columns->item(3)->text(), u"nota"_s); // no heading: the column's name
        QCOMPARE(keys->topLevelItemCount(), 1);
        QCOMPARE(keys->topLevelItem(0)->text(0), u"Nombre"_s);
        QCOMPARE(dialog.criteria(), u"nombre D"_s);

        columns->setCurrentItem(itemNamed(columns, u"Institución"_s));
        add->click();
        QCOMPARE(dialog.criteria(), u"nombre D, institucion A"_s);
        add->click(); // a column is a key once
        QCOMPARE(keys->topLevelItemCount(), 2);

        auto *direction = qobject_cast<QComboBox *>(keys->itemWidget(keys->topLevelItem(1), 1));
        QVERIFY(direction);
        direction->setCurrentText(u"Descendente"_s);
        QCOMPARE(dialog.criteria(), u"nombre D, institucion D"_s);

        keys->setCurrentItem(keys->topLevelItem(1));
        up->click();
        QCOMPARE(dialog.criteria(), u"institucion D, nombre D"_s);
        QVERIFY(!up->isEnabled());

        keys->setCurrentItem(keys->topLevelItem(1));
        remove->click();
        QCOMPARE(dialog.criteria(), u"institucion D"_s);
        keys->setCurrentItem(keys->topLevelItem(0));
        remove->click();
        QCOMPARE(dialog.criteria(), QString());

        // A heading of blanks counts as none.
        dw::DataWindow blank;
        QVERIFY(blank.setSyntax(
            layoutSyntax({}) + u"text(band=header name=nota_t text=\"  \" x=0 y=0 width=10 height=10)\n"_s));
        QCOMPARE(dw::columnHeading(blank, u"nota"_s), u"nota"_s);
        QCOMPARE(dw::columnHeading(blank, u"nombre"_s), u"Nombre"_s);
    }

    // Criteria in force come in as keys, lookup keys and lower-case directions too.
    void sortCriteriaInForce()
    {
        const dw::SortDialog dialog(m_dw, u"LookUpDisplay(nombre) d,id, nota a"_s);
        QCOMPARE(dialog.criteria(), u"LookUpDisplay(nombre) D, id A, nota A"_s);
    }

    void sortConfirmAndCancel()
    {
        dw::SortDialog confirmed(m_dw, u"id A"_s);
        QPushButton *accept = dialogButton(confirmed, u"Aceptar"_s);
        QVERIFY(accept);
        accept->click();
        QCOMPARE(confirmed.result(), int(QDialog::Accepted));

        dw::SortDialog cancelled(m_dw, u"id A"_s);
        QPushButton *cancel = dialogButton(cancelled, u"Cancelar"_s);
        QVERIFY(cancel);
        cancel->click();
        QCOMPARE(cancelled.result(), int(QDialog::Rejected));
    }

    // As the data window opens them: no filter in force shows an empty expression, Cancelar
    // answers 0 and leaves the text as it was, and a sort emptied and confirmed comes back
    // empty, not null (a null answer would keep the sort in force).
    void dialogsAsTheDataWindowOpensThem()
    {
        std::function<void(QDialog &)> act;
        QTimer answer;
        answer.callOnTimeout([&] {
            if (auto *dialog = qobject_cast<QDialog *>(QApplication::activeModalWidget()); dialog && act)
                std::exchange(act, nullptr)(*dialog);
        });
        answer.start(10);

        QString shown = u"unread"_s;
        act = [&](QDialog &dialog) {
            shown = dialog.findChild<QPlainTextEdit *>(u"expressionEdit"_s)->toPlainText();
            dialog.reject();
        };
        QString expression;
        QCOMPARE(dw::runFilterDialog(nullptr, m_dw, expression), 0);
        QCOMPARE(shown, u""_s);
        QVERIFY(expression.isNull());

        act = [&](QDialog &dialog) {
            auto *keys = dialog.findChild<QTreeWidget *>(u"keyList"_s);
            QCOMPARE(keys->topLevelItemCount(), 1);
            keys->setCurrentItem(keys->topLevelItem(0));
            dialog.findChild<QPushButton *>(u"removeButton"_s)->click();
            dialog.accept();
        };
        QString criteria = u"nombre D"_s;
        QCOMPARE(dw::runSortDialog(nullptr, m_dw, criteria), 1);
        QVERIFY(!criteria.isNull());
        QVERIFY(criteria.isEmpty());
    }

    // Columns and functions go in at the cursor; an expression is accepted only when
    // it reads, and an invalid one says why in the dialog.
    void filterExpression()
    {
        dw::FilterDialog dialog(m_dw, QString());
        auto *edit = dialog.findChild<QPlainTextEdit *>(u"expressionEdit"_s);
        auto *columns = dialog.findChild<QListWidget *>(u"columnList"_s);
        auto *functions = dialog.findChild<QListWidget *>(u"functionList"_s);
        auto *error = dialog.findChild<QLabel *>(u"errorLabel"_s);
        QVERIFY(edit && columns && functions && error);

        emit functions->itemDoubleClicked(itemNamed(functions, u"ucase()"_s));
        emit columns->itemDoubleClicked(itemNamed(columns, u"nombre (Nombre)"_s));
        QCOMPARE(dialog.expression(), u"ucase(nombre)"_s);
        edit->moveCursor(QTextCursor::End);
        emit functions->itemDoubleClicked(itemNamed(functions, u"="_s));
        edit->insertPlainText(u"\"ANA\""_s);
        QCOMPARE(dialog.expression(), u"ucase(nombre) = \"ANA\""_s);

        edit->setPlainText(u"nombre = "_s);
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!error->text().isEmpty());

        edit->setPlainText(u"edad > 3"_s); // no such column
        dialogButton(dialog, u"Aceptar"_s)->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(!dialog.errorText().isEmpty());

        edit->setPlainText(u"id > 1 AND not isnull(institucion)"_s);
        QVERIFY(error->text().isEmpty()); // editing clears the complaint
        dialog.accept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(dialog.expression(), u"id > 1 AND not isnull(institucion)"_s);
    }

    // An empty expression removes the filter; the filter in force is shown to begin with.
    void filterEmptyAndInitial()
    {
        dw::FilterDialog empty(m_dw, u"  "_s);
        empty.accept();
        QCOMPARE(empty.result(), int(QDialog::Accepted));
        QCOMPARE(empty.expression(), QString());

        dw::FilterDialog shown(m_dw, u"id = 3"_s);
        QCOMPARE(shown.expression(), u"id = 3"_s);
        dialogButton(shown, u"Cancelar"_s)->click();
        QCOMPARE(shown.result(), int(QDialog::Rejected));
    }

    // A box per column, checked as the column shows; the last checked box is locked, so the
    // listing keeps a column; "Restablecer" closes with its own answer.
    void columnChooser()
    {
        const QList<dw::ColumnChoice> columns{{u"nombre"_s, u"Nombre"_s, true},
                                              {u"email"_s, u"Email"_s, true},
                                              {u"cargo"_s, u"Cargo"_s, false}};
        dw::ColumnsDialog dialog(columns);
        auto *list = dialog.findChild<QListWidget *>(u"columnList"_s);
        QVERIFY(list);
        QCOMPARE(list->count(), 3);
        QCOMPARE(list->item(1)->text(), u"Email"_s);
        QCOMPARE(list->item(2)->checkState(), Qt::Unchecked);
        const auto userCanToggle
            = [list](int row) { return list->item(row)->flags().testFlag(Qt::ItemIsEnabled); };
        QVERIFY(userCanToggle(0) && userCanToggle(1) && userCanToggle(2));

        list->item(0)->setCheckState(Qt::Unchecked);
        QVERIFY(!userCanToggle(1));
        QVERIFY(userCanToggle(0) && userCanToggle(2));
        list->item(2)->setCheckState(Qt::Checked);
        QVERIFY(userCanToggle(1) && userCanToggle(2));
        const QList<dw::ColumnChoice> chosen = dialog.choices();
        QCOMPARE(chosen.size(), 3);
        QCOMPARE(chosen.at(2).name, u"cargo"_s);
        QCOMPARE((QList<bool>{chosen.at(0).visible, chosen.at(1).visible, chosen.at(2).visible}),
                 (QList<bool>{false, true, true}));
        dialogButton(dialog, u"Aceptar"_s)->click();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));

        // One column shown from the start: its box is locked at once.
        dw::ColumnsDialog single({{u"nombre"_s, u"Nombre"_s, true}, {u"email"_s, u"Email"_s, false}});
        auto *only = single.findChild<QListWidget *>(u"columnList"_s);
        QVERIFY(!only->item(0)->flags().testFlag(Qt::ItemIsEnabled));
        auto *reset = single.findChild<QPushButton *>(u"resetButton"_s);
        QVERIFY(reset);
        QCOMPARE(reset->text(), u"Restablecer"_s);
        reset->click();
        QCOMPARE(single.result(), dw::ColumnsDialog::ResetCode);
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
