#include "objectgeometry.h"

#include <algorithm>

namespace dw {

QString ObjectAttributes::text(const QString &path) const
{
    // Paths here are lower case, as the attribute maps store them; painting reads
    // thousands of attributes per frame, so no case folding on the way.
    for (const auto &[name, raw] : m_object.attributes) {
        if (name != path)
            continue;
        if (!raw.contains(QLatin1Char('\t')))
            return raw;
        return m_dw.attribute(m_object, path, m_row);
    }
    return {};
}

double ObjectAttributes::number(const QString &path, double fallback) const
{
    const QString value = text(path);
    bool ok = false;
    const double parsed = value.trimmed().toDouble(&ok);
    return ok ? parsed : fallback;
}

bool ObjectAttributes::flag(const QString &path, bool fallback) const
{
    const QString value = text(path).trimmed();
    if (value.isEmpty())
        return fallback;
    if (value.compare(u"yes", Qt::CaseInsensitive) == 0 || value.compare(u"true", Qt::CaseInsensitive) == 0)
        return true;
    if (value.compare(u"no", Qt::CaseInsensitive) == 0 || value.compare(u"false", Qt::CaseInsensitive) == 0)
        return false;
    return value.toDouble() != 0;
}

QString objectType(const LayoutObject &object)
{
    const QString kind = object.kind.toLower();
    if (kind == u"bitmap")
        return QStringLiteral("picture");
    return kind;
}

bool isDrawable(const LayoutObject &object)
{
    const QString type = objectType(object);
    return type == u"text" || type == u"column" || type == u"compute" || type == u"picture" || type == u"line"
        || type == u"rectangle" || type == u"ellipse" || type == u"roundrectangle";
}

bool isVisible(const ObjectAttributes &attributes)
{
    return attributes.flag(QStringLiteral("visible"), true);
}

QRectF objectFrame(const ObjectAttributes &a)
{
    if (objectType(a.object()) == u"line") {
        const QPointF p1(a.number(QStringLiteral("x1")), a.number(QStringLiteral("y1")));
        const QPointF p2(a.number(QStringLiteral("x2")), a.number(QStringLiteral("y2")));
        // A pen of width w units covers w/2 on each side; keep a thin line hittable.
        const double half = std::max(a.number(QStringLiteral("pen.width"), 1.0), 8.0) / 2.0;
        return QRectF(p1, p2).normalized().adjusted(-half, -half, half, half);
    }
    return {a.number(QStringLiteral("x")), a.number(QStringLiteral("y")), a.number(QStringLiteral("width")),
            a.number(QStringLiteral("height"))};
}

} // namespace dw
