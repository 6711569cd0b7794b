#include "columnheading.h"

#include "datawindow.h"

namespace dw {

QString columnHeading(const DataWindow &dw, const QString &column)
{
    const QString headingName = column + QStringLiteral("_t");
    for (const LayoutObject &object : dw.objects()) {
        if (object.kind == u"text" && object.name.compare(headingName, Qt::CaseInsensitive) == 0) {
            const QString text = dw.attribute(object, QStringLiteral("text"), 0).trimmed();
            if (!text.isEmpty())
                return text;
        }
    }
    return column;
}

} // namespace dw
