#include "objects/attributeschema.h"
#include "objects/layoutpaths.h"

#include <QStringList>

namespace dw {

using namespace Qt::StringLiterals;

namespace {

// Attributes that describe what an object is, not how it looks.
bool isReadOnly(const QString &path)
{
    return path == u"name" || path == u"type" || path == u"id" || path == u"coltype" || path == u"dbname";
}

// Attributes that hold a number; a value whose default part is not one (say "!", what
// Describe answers for a missing object) is refused rather than stored.
bool isNumeric(const QString &path)
{
    static const QStringList paths = {
        u"x"_s,
        u"y"_s,
        u"width"_s,
        u"height"_s,
        u"x1"_s,
        u"y1"_s,
        u"x2"_s,
        u"y2"_s,
        u"color"_s,
        u"background.color"_s,
        u"background.mode"_s,
        u"brush.color"_s,
        u"brush.hatch"_s,
        u"pen.color"_s,
        u"pen.width"_s,
        u"pen.style"_s,
        u"border"_s,
        u"alignment"_s,
        u"tabsequence"_s,
        u"font.height"_s,
        u"font.weight"_s,
        u"font.charset"_s,
        u"font.family"_s,
        u"font.pitch"_s,
        u"font.escapement"_s,
    };
    const qsizetype dot = path.indexOf(u'.');
    return paths.contains(path)
        || (dot > 0 && schema::isBandName(QStringView(path).left(dot))
            && (path.endsWith(u".height"_s) || path.endsWith(u".color"_s)));
}

QString checkValue(const QString &path, const QString &value)
{
    if (!isNumeric(path))
        return {};
    bool ok = false;
    (void)defaultPart(value).trimmed().toLongLong(&ok);
    return ok ? QString() : u"'%1' is not a number for '%2'"_s.arg(value, path);
}

QString assignDataWindow(Layout &layout, const QString &path, const QString &value, ModifyOutcome &outcome)
{
    if (path == u"table.sort") {
        outcome.sort = value;
        return {};
    }
    if (path == u"table.filter") {
        outcome.filter = value;
        return {};
    }
    if (!schema::dataWindowDefault(path) && layout.dataWindowValue(path).isEmpty())
        return u"the data window has no attribute '%1'"_s.arg(path);
    if (QString problem = checkValue(path, value); !problem.isEmpty())
        return problem;
    layout.setDataWindowValue(path, value);
    return {};
}

QString assign(Layout &layout, const QString &target, const QString &value, ModifyOutcome &outcome)
{
    const qsizetype dot = target.indexOf(u'.');
    if (dot <= 0 || dot == target.size() - 1)
        return u"'%1' is not an attribute path"_s.arg(target);
    const QString name = target.left(dot);
    const QString path = target.mid(dot + 1).toLower();
    if (name.compare(u"datawindow", Qt::CaseInsensitive) == 0)
        return assignDataWindow(layout, path, value, outcome);

    const int index = layout.objectIndex(name);
    if (index < 0)
        return u"there is no object '%1'"_s.arg(name);
    LayoutObject &object = layout.objects[std::size_t(index)];
    if (isReadOnly(path))
        return u"the attribute '%1' of '%2' cannot be changed"_s.arg(path, object.name);
    if (!schema::objectDefault(object.kind, path) && !findAttribute(object, path))
        return u"'%1' has no attribute '%2'"_s.arg(object.name, path);
    if (path == u"band") {
        const auto band = bandFromName(value);
        if (!band)
            return u"there is no band '%1'"_s.arg(value);
        setAttribute(object, path, bandName(*band));
        return {};
    }
    if (QString problem = checkValue(path, value); !problem.isEmpty())
        return problem;

    if (object.kind == u"column" && layout.presentation() == u"grid") {
        if (path == u"x") {
            grid::setColumnX(layout, index, defaultPart(value).toInt());
            setAttribute(layout.objects[std::size_t(index)], path, value);
            return {};
        }
        if (path == u"width") {
            grid::setColumnWidth(layout, index, value);
            return {};
        }
        if (path == u"visible") {
            grid::setColumnVisible(layout, index, value);
            return {};
        }
    }
    setAttribute(object, path, value);
    return {};
}

QString create(Layout &layout, const syntax::Item &item)
{
    if (!schema::isObjectKind(item.kind))
        return u"objects of kind '%1' cannot be created"_s.arg(item.kind);
    if (item.kind == u"column")
        return u"columns come from the select definition and cannot be created"_s;
    LayoutObject object;
    object.kind = schema::normalizedKind(item.kind);
    for (const auto &[key, value] : item.attributes) {
        if (QString problem = checkValue(key, value); !problem.isEmpty())
            return problem;
        if (key == u"name")
            object.name = value;
        else
            setAttribute(object, key, value);
    }
    if (object.name.isEmpty())
        return u"a created object needs a name"_s;
    if (layout.objectIndex(object.name) >= 0)
        return u"an object named '%1' exists already"_s.arg(object.name);
    if (!normalizeBand(object))
        return u"there is no band '%1'"_s.arg(object.raw(u"band"_s));
    layout.objects.push_back(std::move(object));
    return {};
}

QString destroy(Layout &layout, const QString &name)
{
    const int index = layout.objectIndex(name);
    if (index < 0)
        return u"there is no object '%1'"_s.arg(name);
    if (layout.objects[std::size_t(index)].kind == u"column")
        return u"the column '%1' cannot be destroyed"_s.arg(name);
    layout.objects.erase(layout.objects.begin() + index);
    return {};
}

} // namespace

QString applyModify(Layout &layout, QStringView commands, ModifyOutcome &outcome)
{
    syntax::Scanner scanner(commands);
    while (!scanner.atEnd()) {
        const int at = scanner.position() + 1;
        const QString word = scanner.word();
        QString error;
        if (word.isEmpty()) {
            error = u"unexpected '%1'"_s.arg(scanner.token().left(20));
        } else if (word.compare(u"create", Qt::CaseInsensitive) == 0) {
            const auto item = scanner.item();
            error = item ? create(layout, *item) : scanner.error();
        } else if (word.compare(u"destroy", Qt::CaseInsensitive) == 0) {
            QString name = scanner.word();
            if (name.compare(u"column", Qt::CaseInsensitive) == 0 && !scanner.atEnd())
                name = scanner.word();
            error = name.isEmpty() ? u"destroy needs an object name"_s : destroy(layout, name);
        } else if (!scanner.accept(u'=')) {
            error = u"'=' is expected after '%1'"_s.arg(word);
        } else if (const auto value = scanner.value()) {
            error = assign(layout, word, *value, outcome);
        } else {
            error = scanner.error();
        }
        if (!error.isEmpty())
            return u"column %1: %2"_s.arg(at).arg(error);
    }
    return {};
}

} // namespace dw
