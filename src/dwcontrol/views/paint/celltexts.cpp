#include "celltexts.h"

#include "datawindow.h"
#include "objects/displayformat.h"

namespace dw {

CellTexts::CellTexts(const DataWindow &dw) : m_dw(dw)
{
    const int count = dw.columnCount();
    m_columns.resize(std::size_t(std::max(0, count)));
    for (int column = 1; column <= count; ++column) {
        const QString name = dw.columnName(column);
        Column &c = m_columns[std::size_t(column - 1)];
        const bool lookedUp = dw.Describe(name + QStringLiteral(".Edit.Style")) == u"dddw"
            || dw.Describe(name + QStringLiteral(".Edit.CodeTable")) == u"yes";
        const LayoutObject *object = nullptr;
        for (const LayoutObject &candidate : dw.objects()) {
            if (candidate.kind == u"column" && candidate.name.compare(name, Qt::CaseInsensitive) == 0) {
                object = &candidate;
                break;
            }
        }
        const bool formatPerRow = object && object->raw(QStringLiteral("format")).contains(QLatin1Char('\t'));
        c.perRow = lookedUp || formatPerRow;
        if (object && !c.perRow)
            c.format = dw.attribute(*object, QStringLiteral("format"));
    }
}

bool CellTexts::showsDefaultText(int column) const
{
    if (column < 1 || std::size_t(column) > m_columns.size())
        return false;
    const Column &c = m_columns[std::size_t(column - 1)];
    const QString format = c.format.trimmed();
    return !c.perRow
        && (format.isEmpty() || format == u"?" || format.compare(u"[general]", Qt::CaseInsensitive) == 0);
}

QString CellTexts::text(long row, int column) const
{
    if (column < 1 || std::size_t(column) > m_columns.size())
        return {};
    const Column &c = m_columns[std::size_t(column - 1)];
    if (c.perRow)
        return m_dw.displayText(row, column);
    return formatValue(m_dw.GetItem(row, column), c.format);
}

} // namespace dw
