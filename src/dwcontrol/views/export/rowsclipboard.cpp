#include "rowsclipboard.h"

#include "rowscopy.h"

#include <QMimeData>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

class RowsMimeData : public QMimeData
{
public:
    explicit RowsMimeData(CopiedRows rows) : m_rows(std::move(rows)) {}

    [[nodiscard]] QStringList formats() const override { return {u"text/plain"_s, u"text/html"_s}; }
    [[nodiscard]] bool hasFormat(const QString &mimeType) const override
    {
        return formats().contains(mimeType);
    }

protected:
    // The bytes, whatever type is asked for: QMimeData decodes them as UTF-8 for a reader
    // in this program wanting text or HTML, and another program asking for "text/plain"
    // or "text/html" receives them as they are.
    [[nodiscard]] QVariant retrieveData(const QString &mimeType, QMetaType) const override
    {
        if (mimeType == u"text/plain")
            return m_rows.text();
        if (mimeType == u"text/html")
            return m_rows.html();
        return {};
    }

private:
    CopiedRows m_rows;
};

} // namespace

std::unique_ptr<QMimeData> clipboardData(CopiedRows rows)
{
    return std::make_unique<RowsMimeData>(std::move(rows));
}

} // namespace dw
