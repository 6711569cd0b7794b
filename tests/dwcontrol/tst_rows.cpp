#include "rowsfixture.h"

#include "rows/sortfilter.h"

#include <QTest>

#include <tuple>

using namespace Qt::StringLiterals;
using dw::ColumnType;
using dw::Value;

class TestRowStore : public QObject
{
    Q_OBJECT

private slots:
    // Cells are copied into the column's own type; null stays distinct from empty text.
    void storesCellsByColumnType()
    {
        TableCursor cursor({u"texto"_s, u"entero"_s, u"real"_s},
                           {
                               {Value(u"Peña"_s), Value(u"42"_s), Value(2)},
                               {Value(u""_s), Value(u" 7 "_s), Value(u"2.5"_s)},
                               {Value(), Value(u"x"_s), Value()},
                               {Value(15), Value(3.9), Value(u"abc"_s)},
                               {Value(0.5), Value(), Value(-1.25)},
                           });
        dw::ColumnStore store({ColumnType::Char, ColumnType::Long, ColumnType::Number});
        QCOMPARE(store.appendAll(cursor), 5);
        QCOMPARE(store.size(), 5);
        QCOMPARE(store.columnCount(), 3);

        QCOMPARE(store.utf8(0, 0),
                 std::string_view("Pe\xc3\xb1"
                                  "a"));
        QCOMPARE(store.value(0, 0), Value(u"Peña"_s));
        QVERIFY(!store.isNull(1, 0));
        QCOMPARE(store.value(1, 0), Value(u""_s));
        QVERIFY(!store.value(1, 0).isNull());
        QVERIFY(store.isNull(2, 0));
        QVERIFY(store.value(2, 0).isNull());
        QCOMPARE(store.value(3, 0), Value(u"15"_s));
        QCOMPARE(store.value(4, 0), Value(u"0.5"_s));

        QCOMPARE(store.value(0, 1), Value(42));
        QCOMPARE(store.value(1, 1), Value(7));
        QVERIFY(store.isNull(2, 1)); // a text that is not a number
        QCOMPARE(store.value(3, 1), Value(3));
        QVERIFY(store.isNull(4, 1));
        QVERIFY(store.isInteger(1) && !store.isText(1));

        QCOMPARE(store.value(0, 2), Value(2.0));
        QCOMPARE(store.value(1, 2), Value(2.5));
        QVERIFY(store.isNull(2, 2));
        QVERIFY(store.isNull(3, 2));
        QCOMPARE(store.number(4, 2), -1.25);

        QVERIFY(store.memoryBytes() >= 7);
    }

    // Many rows: the null flags of rows past the first word of the bitmap, a column of
    // text large enough to live in pages of its own (it shrinks after the first
    // retrieval and grows again with the second), and copies that outlive the original
    // and grow apart.
    void appendsManyRowsAndRetrievalsInOrder()
    {
        const QString padding(400, u'x');
        const auto text = [&](int i) { return QString::number(i) + padding; };
        std::vector<std::vector<Value>> rows;
        for (int i = 0; i < 1000; ++i)
            rows.push_back({i % 7 == 0 ? Value() : Value(text(i)), Value(i)});
        TableCursor first({u"a"_s, u"b"_s}, rows);
        TableCursor second({u"a"_s, u"b"_s}, {{Value(u"fin"_s), Value(-1)}});
        dw::ColumnStore store({ColumnType::Char, ColumnType::Long});
        QCOMPARE(store.appendAll(first), 1000);
        QCOMPARE(store.appendAll(second), 1);
        QCOMPARE(store.size(), 1001);
        for (int i = 0; i < 1000; ++i) {
            QCOMPARE(store.isNull(i, 0), i % 7 == 0);
            if (i % 7 != 0)
                QCOMPARE(store.value(i, 0).toText(), text(i));
            QCOMPARE(store.integer(i, 1), qint64(i));
        }
        QCOMPARE(store.value(1000, 0), Value(u"fin"_s));
        const dw::ColumnStore copy = store;
        store.clear();
        QCOMPARE(store.size(), 0);
        QCOMPARE(store.columnCount(), 2);
        QCOMPARE(copy.value(999, 0), Value(text(999)));
        QCOMPARE(copy.value(1000, 0), Value(u"fin"_s));
        QVERIFY(copy.memoryBytes() >= 857 * std::size_t(text(999).size()));

        // Copies share the rows; each appends rows of its own afterwards, a null cell in
        // one and a text in the other at the same place.
        dw::ColumnStore left = copy;
        dw::ColumnStore right = copy;
        TableCursor withNull({u"a"_s, u"b"_s}, {{Value(), Value(7)}});
        TableCursor withText({u"a"_s, u"b"_s}, {{Value(u"otra"_s), Value(8)}});
        QCOMPARE(left.appendAll(withNull), 1);
        QCOMPARE(right.appendAll(withText), 1);
        for (const auto &[grown, cell, number] :
             {std::tuple{&left, Value(), 7}, std::tuple{&right, Value(u"otra"_s), 8}}) {
            QCOMPARE(grown->size(), 1002);
            QCOMPARE(grown->value(1001, 0), cell);
            QCOMPARE(grown->integer(1001, 1), qint64(number));
            QCOMPARE(grown->value(1000, 0), Value(u"fin"_s));
            QCOMPARE(grown->value(994, 0), Value()); // 994 = 7 * 142
        }
    }

    void infersTypesWithoutDeclarationAndReportsErrors()
    {
        TableCursor cursor({u"n"_s, u"r"_s, u"t"_s, u"z"_s},
                           {{Value(1), Value(1.5), Value(u"a"_s), Value()},
                            {Value(2), Value(2.5), Value(u"b"_s), Value(3)},
                            {Value(3), Value(3.5), Value(u"c"_s), Value()}});
        cursor.failAfter(2);
        dw::ColumnStore store;
        QCOMPARE(store.appendAll(cursor), -1); // the cursor stopped on an error
        QCOMPARE(store.size(), 2); // the rows before it stay
        QCOMPARE(store.type(0), ColumnType::Long);
        QCOMPARE(store.type(1), ColumnType::Real);
        QCOMPARE(store.type(2), ColumnType::Char);
        QCOMPARE(store.type(3), ColumnType::Char); // null in the first row: text
        QCOMPARE(store.value(1, 3), Value(u"3"_s));
    }

    // Selection flags belong to stored rows, so they follow them through a sort and a
    // filter; selecting all touches only the rows that are shown.
    void selectionFollowsRows()
    {
        TableCursor cursor({u"nombre"_s},
                           {{Value(u"c"_s)}, {Value(u"a"_s)}, {Value(u"b"_s)}, {Value(u"d"_s)}});
        dw::ColumnStore store({ColumnType::Char});
        QVERIFY(store.appendAll(cursor) == 4);
        StoreContext context({u"nombre"_s}, store);
        dw::RowSet rows;
        rows.reset(store.size());
        QCOMPARE(rows.rowCount(), 4);
        rows.select(1, true); // "c"
        rows.select(0, true);
        rows.select(5, true);
        QVERIFY(!rows.isSelected(0) && !rows.isSelected(5));

        const auto keys = dw::parseSortCriteria(u"nombre A"_s, context);
        QVERIFY(keys);
        dw::sortRows(rows, store, *keys, context);
        QCOMPARE(rows.storeIndex(3), 0);
        QVERIFY(rows.isSelected(3));
        QVERIFY(!rows.isSelected(1));

        const auto filter = Expression::parse(u"nombre <> 'a'"_s, context);
        QVERIFY(filter);
        QVERIFY(dw::filterRows(rows, store, &*filter, context));
        QCOMPARE(rows.rowCount(), 3);
        QCOMPARE(rows.filteredCount(), 1);
        rows.selectAll(true);
        QVERIFY(dw::filterRows(rows, store, nullptr, context));
        QCOMPARE(rows.rowCount(), 4);
        QCOMPARE(rows.storeIndex(4), 1); // "a" came back at the end, unselected
        QVERIFY(!rows.isSelected(4));
        QVERIFY(rows.isSelected(1) && rows.isSelected(2) && rows.isSelected(3));
    }

private:
    using Expression = dw::Expression;
};

QTEST_GUILESS_MAIN(TestRowStore)
#include "tst_rows.moc"
