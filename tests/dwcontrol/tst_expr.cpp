#include "rowsfixture.h"

#include "expr/literal.h"
#include "types/integerrange.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;
using dw::Expression;
using dw::Value;

namespace {

// A value as "null", "n:<number>" or "t:<text>", so one column of a table can hold any result.
QString shown(const Value &value)
{
    if (value.isNull())
        return QStringLiteral("null");
    return (value.isText() ? QStringLiteral("t:") : QStringLiteral("n:")) + value.toText();
}

} // namespace

class TestExpressions : public QObject
{
    Q_OBJECT

public:
    TestExpressions()
        : m_names{QStringLiteral("nombre"), QStringLiteral("id"), QStringLiteral("email"),
                  QStringLiteral("monto"), QStringLiteral("tipo")}
    {
        TableCursor cursor(m_names,
                           {{Value(QStringLiteral("María Núñez")), Value(15), Value(), Value(2.5),
                             Value(QStringLiteral("E"))}});
        m_store = dw::ColumnStore({dw::ColumnType::Char, dw::ColumnType::Long, dw::ColumnType::Char,
                                   dw::ColumnType::Number, dw::ColumnType::Char});
        if (m_store.appendAll(cursor) != 1)
            qFatal("the fixture row was not stored");
    }

private slots:
    void evaluates_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("expected");

        // literals and escapes
        QTest::newRow("integer") << u"42"_s << u"n:42"_s;
        QTest::newRow("real") << u"2.50"_s << u"n:2.5"_s;
        QTest::newRow("double quoted") << u"\"a'b\""_s << u"t:a'b"_s;
        QTest::newRow("single quoted") << u"'a\"b'"_s << u"t:a\"b"_s;
        QTest::newRow("escapes") << u"\"~\"x~\" ~~ ~' ~t~n~r\""_s << u"t:\"x\" ~ ' \t\n\r"_s;
        QTest::newRow("null literal") << u"NULL"_s << u"null"_s;
        QTest::newRow("empty text is not null") << u"\"\" = ''"_s << u"n:1"_s;
        QTest::newRow("empty join") << u"'' & ''"_s << u"t:"_s;
        QTest::newRow("ucase of empty") << u"ucase('')"_s << u"t:"_s;
        // columns, any letter case
        QTest::newRow("column") << u"NOMBRE"_s << u"t:María Núñez"_s;
        QTest::newRow("null column") << u"email"_s << u"null"_s;
        // comparisons, case-sensitive on text
        QTest::newRow("text equal") << u"nombre = \"María Núñez\""_s << u"n:1"_s;
        QTest::newRow("text case differs") << u"nombre = \"maría núñez\""_s << u"n:0"_s;
        QTest::newRow("not equal") << u"id <> 15"_s << u"n:0"_s;
        QTest::newRow("less") << u"id < 16"_s << u"n:1"_s;
        QTest::newRow("greater equal") << u"monto >= 2.5"_s << u"n:1"_s;
        QTest::newRow("greater") << u"\"b\" > \"a\""_s << u"n:1"_s;
        QTest::newRow("less equal") << u"id <= 14"_s << u"n:0"_s;
        QTest::newRow("number against numeric text") << u"id = \"15\""_s << u"n:1"_s;
        QTest::newRow("number against other text is null") << u"id = \"x\""_s << u"null"_s;
        // null semantics: a comparison with null is null, not true or false
        QTest::newRow("null equals null") << u"email = email"_s << u"null"_s;
        QTest::newRow("null not equal") << u"email <> \"x\""_s << u"null"_s;
        QTest::newRow("not of null") << u"not (email = \"x\")"_s << u"null"_s;
        QTest::newRow("false and null") << u"id = 1 and email = \"x\""_s << u"n:0"_s;
        QTest::newRow("true and null") << u"id = 15 AND email = \"x\""_s << u"null"_s;
        QTest::newRow("true or null") << u"email = \"x\" Or id = 15"_s << u"n:1"_s;
        QTest::newRow("isnull") << u"isnull(email)"_s << u"n:1"_s;
        QTest::newRow("not isnull") << u"not isnull(nombre)"_s << u"n:1"_s;
        // precedence: not binds looser than =, AND tighter than OR
        QTest::newRow("not over comparison") << u"not id = 16"_s << u"n:1"_s;
        QTest::newRow("and before or") << u"id = 1 and id = 2 or id = 15"_s << u"n:1"_s;
        QTest::newRow("parentheses") << u"id = 1 and (id = 2 or id = 15)"_s << u"n:0"_s;
        QTest::newRow("arithmetic before comparison") << u"id - 5 = 10"_s << u"n:1"_s;
        QTest::newRow("left to right") << u"10 - 3 - 2"_s << u"n:5"_s;
        QTest::newRow("unary minus") << u"-id + 20"_s << u"n:5"_s;
        QTest::newRow("real arithmetic") << u"monto + 1"_s << u"n:3.5"_s;
        // joining texts
        QTest::newRow("ampersand joins") << u"nombre & ' / ' & tipo"_s << u"t:María Núñez / E"_s;
        QTest::newRow("ampersand with null") << u"'a' & email"_s << u"t:a"_s;
        QTest::newRow("ampersand with number") << u"'#' & id"_s << u"t:#15"_s;
        QTest::newRow("plus joins texts") << u"'a' + 'b'"_s << u"t:ab"_s;
        QTest::newRow("plus with null") << u"'a' + email"_s << u"null"_s;
        QTest::newRow("plus mixing types") << u"'a' + 1"_s << u"null"_s;
        // functions
        QTest::newRow("ucase") << u"ucase(nombre)"_s << u"t:MARÍA NÚÑEZ"_s;
        QTest::newRow("upper") << u"Upper('ñandú')"_s << u"t:ÑANDÚ"_s;
        QTest::newRow("string of integer") << u"string(id) = \"15\""_s << u"n:1"_s;
        QTest::newRow("string of real") << u"string(monto)"_s << u"t:2.5"_s;
        QTest::newRow("string of null") << u"string(email)"_s << u"null"_s;
        QTest::newRow("integer of text") << u"Integer(' 12 ')"_s << u"n:12"_s;
        QTest::newRow("integer truncates") << u"integer(monto)"_s << u"n:2"_s;
        QTest::newRow("integer of non-number") << u"integer('12abc')"_s << u"null"_s;
        QTest::newRow("integer of a real too large") << u"integer(1e20)"_s << u"null"_s;
        QTest::newRow("integer of a real too small") << u"integer(-1e19)"_s << u"null"_s;
        QTest::newRow("integer of the smallest real that fits")
            << u"integer(-9223372036854775808.0)"_s << u"n:-9223372036854775808"_s;
        QTest::newRow("integer of text too large") << u"integer('1e20')"_s << u"null"_s;
        QTest::newRow("string of a real too large for an integer") << u"string(1e20)"_s << u"t:1e+20"_s;
        QTest::newRow("describe") << u"Integer(Describe('nombre.X')) - 8"_s << u"n:1"_s;
        QTest::newRow("describe of nothing") << u"Integer(Describe('nada.x')) - 8"_s << u"null"_s;
        QTest::newRow("lookupdisplay") << u"LookUpDisplay(tipo)"_s << u"t:Estudiante"_s;
        QTest::newRow("evaluate goes through describe") << u"Evaluate('id + 1', 1)"_s << u"t:16"_s;
    }

    void evaluates()
    {
        QFETCH(QString, expression);
        QFETCH(QString, expected);
        StoreContext context(m_names, m_store);
        context.described.insert(QStringLiteral("nombre.X"), QStringLiteral("9"));
        context.described.insert(QStringLiteral("Evaluate('id + 1', 1)"), QStringLiteral("16"));
        context.displays[5].insert(QStringLiteral("E"), QStringLiteral("Estudiante"));

        QString error;
        const std::optional<Expression> parsed = Expression::parse(expression, context, &error);
        QVERIFY2(parsed, qPrintable(error));
        QCOMPARE(shown(parsed->evaluate(context, 0)), expected);
    }

    // Doubles that no 64-bit integer holds give a definite value, never an undefined one.
    void realsOutOfIntegerRange()
    {
        const double infinity = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QCOMPARE(Value(1e20).toInteger(), std::numeric_limits<qint64>::max());
        QCOMPARE(Value(-infinity).toInteger(), std::numeric_limits<qint64>::min());
        QCOMPARE(Value(nan).toInteger(), qint64(0));
        QCOMPARE(Value(-2.9).toInteger(), qint64(-2));
        QCOMPARE(Value(infinity).toText(), u"inf"_s);
        QCOMPARE(Value(nan).toText(), u"nan"_s);
        QCOMPARE(dw::integerInRange(9223372036854775808.0), std::nullopt);
        QCOMPARE(dw::integerInRange(-9223372036854775808.0), std::numeric_limits<qint64>::min());
    }

    void quotedTextReadsBack()
    {
        StoreContext context(m_names, m_store);
        for (const QString &text :
             {u"plain"_s, u"with \"double\" quotes"_s, u"it's ~ tilde ~\""_s, QString()}) {
            for (const QChar quote : {QChar(u'"'), QChar(u'\'')}) {
                const auto parsed = Expression::parse(dw::quotedText(text, quote), context);
                QVERIFY(parsed);
                const Value value = parsed->evaluate(context, 0);
                QVERIFY(value.isText()); // "" is an empty text, not null
                QCOMPARE(value.toText(), text);
            }
        }
        // Evaluate quotes its expression the same way when it asks the data window.
        const auto evaluate = Expression::parse(u"Evaluate(\"nombre = 'O~'Brien'\", 3)"_s, context);
        QVERIFY(evaluate);
        QCOMPARE(evaluate->evaluate(context, 0), Value(u"!"_s));
        QCOMPARE(context.describeCalls.last(), u"Evaluate('nombre = ~'O~'Brien~'', 3)"_s);
    }

    void rejectsBadInput_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::newRow("empty") << QString();
        QTest::newRow("blank") << u"   "_s;
        QTest::newRow("unknown column") << u"apellido = 'x'"_s;
        QTest::newRow("unknown column in function") << u"isnull(apellido)"_s;
        QTest::newRow("unknown function") << u"trim(nombre)"_s;
        QTest::newRow("unterminated text") << u"nombre = \"abc"_s;
        QTest::newRow("escaped closing quote") << u"nombre = \"abc~\""_s;
        QTest::newRow("missing operand") << u"nombre ="_s;
        QTest::newRow("missing parenthesis") << u"(id = 1"_s;
        QTest::newRow("extra parenthesis") << u"id = 1)"_s;
        QTest::newRow("two operands") << u"nombre id"_s;
        QTest::newRow("wrong arity") << u"ucase(nombre, id)"_s;
        QTest::newRow("evaluate arity") << u"Evaluate('1')"_s;
        QTest::newRow("lookupdisplay of text") << u"LookUpDisplay('tipo')"_s;
        QTest::newRow("number glued to name") << u"12abc"_s;
        QTest::newRow("unknown operator") << u"id != 1"_s;
        QTest::newRow("keyword as operand") << u"id = and"_s;
        QTest::newRow("dangling not") << u"not"_s;
        QTest::newRow("empty call argument") << u"ucase(,)"_s;
    }

    void rejectsBadInput()
    {
        QFETCH(QString, expression);
        StoreContext context(m_names, m_store);
        QString error;
        QVERIFY(!Expression::parse(expression, context, &error));
        QVERIFY2(!error.isEmpty(), "a refused expression says why");
    }

    // Random text, random token soup and deep nesting: every input either parses and
    // evaluates or is refused with a message; nothing crashes or hangs.
    void survivesRandomInput()
    {
        StoreContext context(m_names, m_store);
        const QStringList pieces{u"nombre"_s,
                                 u"id"_s,
                                 u"email"_s,
                                 u"("_s,
                                 u")"_s,
                                 u","_s,
                                 u"="_s,
                                 u"<>"_s,
                                 u"<"_s,
                                 u">="_s,
                                 u"&"_s,
                                 u"+"_s,
                                 u"-"_s,
                                 u" and "_s,
                                 u" OR "_s,
                                 u"not "_s,
                                 u"null"_s,
                                 u"\""_s,
                                 u"'"_s,
                                 u"~"_s,
                                 u"12"_s,
                                 u"3.5e2"_s,
                                 u"isnull("_s,
                                 u"string("_s,
                                 u"ucase("_s,
                                 u"Integer("_s,
                                 u"Describe("_s,
                                 u"Evaluate("_s,
                                 u"LookUpDisplay("_s,
                                 u" "_s};
        auto *random = QRandomGenerator::global();
        QElapsedTimer timer;
        timer.start();
        int parsed = 0;
        int runs = 0;
        while (timer.elapsed() < 3000) {
            QString text;
            const int length = random->bounded(1, 40);
            const bool soup = random->bounded(2) == 0;
            for (int i = 0; i < length; ++i) {
                if (soup)
                    text += pieces[random->bounded(int(pieces.size()))];
                else
                    text += QChar(char16_t(random->bounded(1, 0x250)));
            }
            QString error;
            if (const auto expression = Expression::parse(text, context, &error)) {
                ++parsed;
                (void)expression->evaluate(context, 0);
            } else {
                QVERIFY2(!error.isEmpty(), qPrintable(text));
            }
            ++runs;
        }
        QVERIFY(runs > 1000);
        QVERIFY(parsed > 0);

        for (const int depth : {150, 5000, 100000}) {
            const QString nested = QString(depth, u'(') + u"1"_s + QString(depth, u')');
            const auto expression = Expression::parse(nested, context);
            if (depth <= 150)
                QVERIFY(expression && expression->evaluate(context, 0) == Value(1));
            else
                QVERIFY(!expression);
            QVERIFY(!Expression::parse(QString(depth, u'-') + u"1"_s, context) || depth <= 150);
        }
        QStringList chain(20000, u"1"_s);
        QVERIFY(!Expression::parse(chain.join(u" + "), context));
    }

private:
    QStringList m_names;
    dw::ColumnStore m_store;
};

QTEST_GUILESS_MAIN(TestExpressions)
#include "tst_expr.moc"
