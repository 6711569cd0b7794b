#pragma once

#include <QString>
#include <QStringView>

#include <optional>
#include <utility>
#include <vector>

// The attribute syntax of layouts. A layout file and Modify's "create kind(...)" are
// read by this one scanner.
//
// A layout is a sequence of items, one per line by convention (an item may span lines):
//
//     kind(attr=value attr="quoted value" attr='other quote' ...)
//
// - Lines whose first non-blank characters are `//` are comments.
// - Kinds and attribute names are read without regard to letter case; attribute names
//   are dotted paths (`font.face`, `background.color`, `tooltip.tip`).
// - A value is bare (`x=9`, `type=char(255)`: up to a blank or the item's closing
//   parenthesis, balanced parentheses included), quoted with " or ' (blanks, tabs and
//   line breaks allowed; `~"` `~'` `~~` `~t` `~n` `~r` are escapes), or a structured
//   value in parentheses (`values=(a b (c))`, kept as written between the outer pair).
// - A value of the form "default<TAB>expression" (written `"0~tif(...)"`) gives the
//   default to readers that do not evaluate expressions and is evaluated per row by
//   the engine.
//
// Items of a layout:
//
//     datawindow(processing=grid|tabular|freeform color=... print.preview=no)
//     header(height=68 color=...)        also detail, footer, summary, background, foreground
//     table(name=directorio where="directorio.id = :an_id" sort="nombre A" filter="...")
//     tablecolumn(name=nombre type=char(255) dbname="directorio.nombre")
//     tablecolumn(name=lineas type=char(32000)
//                 compute="directorio.linea_investigacion & ' / ' & directorio.area_aplicacion")
//     argument(name=an_id type=number)
//     text(band=header name=nombre_t text="Nombre" x=9 y=0 width=1111 height=64 ...)
//     column(band=detail name=nombre id=1 x=9 ... format="[general]" edit.style=edit)
//     column(... edit.style=dddw dddw.name=dddw_tutor dddw.displaycolumn=nombre
//            dddw.datacolumn=id)
//     column(... edit.codetable=yes values="Sí~t1/No~t0/")
//     column(... bitmapname=yes)            the value names a picture file
//     compute(band=header name=t_4 expression="upper('reniecyt:')" x=... )
//     picture(band=header name=p_1 filename="Fotos\Logo_zemparol.JPG" x=... )   (or bitmap)
//     line(band=header name=l_1 x1=0 y1=356 x2=3488 y2=356 pen.width=9 pen.color=32768)
//     rectangle(band=detail name=r_1 x=... brush.color=...)
//
// `tablecolumn` items define the result columns of the SELECT in order (column 1 is the
// first); `dbname` names a table column, `compute` is a database expression in the
// Access dialect (`&` joins texts, `ucase`), rendered for the connection's dialect.
// The `where` condition names retrieval arguments with a colon (`:an_id`); they are
// bound as parameters in the order of the `argument` items.
namespace dw::syntax {

using Attributes = std::vector<std::pair<QString, QString>>; // lower-case name, value

struct Item
{
    QString kind; // lower case
    Attributes attributes;
    int line = 0; // 1-based, for messages
};

// Reads text from a position; every read skips leading blanks first. Errors are kept
// (first one wins) and every read fails once one happened.
class Scanner
{
public:
    explicit Scanner(QStringView text) : m_text(text) {}

    [[nodiscard]] bool atEnd();
    // Skips blanks, line breaks and `//` comment lines.
    void skipSpace();
    // A word of letters, digits, `_`, `.` and `#` ("nombre_t.background.color", "#3.x").
    [[nodiscard]] QString word();
    // Consumes `c` after blanks; false (nothing consumed) when it is not there.
    bool accept(QChar c);
    // A value (bare, quoted or parenthesised); unescaped when quoted.
    [[nodiscard]] std::optional<QString> value();
    // `kind(attr=value ...)`.
    [[nodiscard]] std::optional<Item> item();
    // The rest of the text up to the next blank (for error messages and bare operands).
    [[nodiscard]] QString token();

    [[nodiscard]] int position() const { return int(m_pos); }
    [[nodiscard]] int line() const;
    [[nodiscard]] bool failed() const { return !m_error.isEmpty(); }
    [[nodiscard]] const QString &error() const { return m_error; }
    void fail(const QString &message);

private:
    [[nodiscard]] QString quoted(QChar quote);
    [[nodiscard]] std::optional<QString> parenthesised();
    [[nodiscard]] QString bare();

    QStringView m_text;
    qsizetype m_pos = 0;
    QString m_error;
};

// Parses a whole layout; nothing and an error text ("line N: ...") on failure.
[[nodiscard]] std::optional<std::vector<Item>> parseLayout(QStringView text, QString *error = nullptr);

// Undoes the escapes of a quoted value (without its quotes).
[[nodiscard]] QString unescape(QStringView text);
// Writes a value so that the scanner reads it back unchanged (always double-quoted).
[[nodiscard]] QString quote(const QString &value);

} // namespace dw::syntax
