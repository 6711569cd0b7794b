#include "objects/attributeschema.h"

#include <array>
#include <utility>

namespace dw::schema {

namespace {

using Entry = std::pair<QStringView, QStringView>; // path, default ("?" for none)

constexpr QStringView kUnset = u"?";

// What every drawable object has.
constexpr std::array kCommon{
    Entry{u"band", u"detail"},    Entry{u"visible", u"1"},  Entry{u"tag", kUnset},
    Entry{u"pointer", u"Arrow!"}, Entry{u"moveable", u"0"}, Entry{u"resizeable", u"0"},
    Entry{u"slideleft", u"no"},   Entry{u"slideup", u"no"},
};

// Objects placed in a frame: texts, columns, computes, pictures, rectangles.
constexpr std::array kFramed{
    Entry{u"x", u"0"},      Entry{u"y", u"0"},      Entry{u"width", u"0"},
    Entry{u"height", u"0"}, Entry{u"border", u"0"},
};

// Objects that write text.
constexpr std::array kTextual{
    Entry{u"alignment", u"0"},
    Entry{u"color", u"0"},
    Entry{u"background.mode", u"1"},
    Entry{u"background.color", u"536870912"},
    Entry{u"font.face", u"Arial"},
    Entry{u"font.height", u"-10"},
    Entry{u"font.weight", u"400"},
    Entry{u"font.italic", u"0"},
    Entry{u"font.underline", u"0"},
    Entry{u"font.strikethrough", u"0"},
    Entry{u"font.charset", u"0"},
    Entry{u"font.family", u"2"},
    Entry{u"font.pitch", u"2"},
    Entry{u"font.escapement", u"0"},
    Entry{u"format", kUnset},
    Entry{u"html.valueishtml", u"0"},
    Entry{u"tooltip.enabled", u"0"},
    Entry{u"tooltip.tip", kUnset},
    Entry{u"tooltip.delay.initial", u"0"},
    Entry{u"tooltip.delay.visible", u"32000"},
    Entry{u"tooltip.textcolor", u"134217751"},
    Entry{u"tooltip.backcolor", u"134217752"},
    Entry{u"tooltip.title", kUnset},
    Entry{u"tooltip.isbubble", u"0"},
};

constexpr std::array kTextOnly{
    Entry{u"text", u""},
};

constexpr std::array kColumnOnly{
    Entry{u"id", u"0"},
    Entry{u"tabsequence", u"0"},
    Entry{u"edit.style", u"edit"},
    Entry{u"edit.codetable", u"no"},
    Entry{u"edit.limit", u"0"},
    Entry{u"edit.displayonly", u"no"},
    Entry{u"edit.autoselect", u"yes"},
    Entry{u"dddw.name", kUnset},
    Entry{u"dddw.displaycolumn", kUnset},
    Entry{u"dddw.datacolumn", kUnset},
    Entry{u"dddw.percentwidth", u"100"},
    Entry{u"dddw.lines", u"0"},
    Entry{u"values", kUnset},
    Entry{u"bitmapname", u"no"},
    Entry{u"criteria.required", u"no"},
};

constexpr std::array kComputeOnly{
    Entry{u"expression", kUnset},
};

constexpr std::array kPictureOnly{
    Entry{u"filename", kUnset},
    Entry{u"invert", u"0"},
};

constexpr std::array kPen{
    Entry{u"pen.style", u"0"},
    Entry{u"pen.width", u"1"},
    Entry{u"pen.color", u"0"},
};

constexpr std::array kLineOnly{
    Entry{u"x1", u"0"},
    Entry{u"y1", u"0"},
    Entry{u"x2", u"0"},
    Entry{u"y2", u"0"},
};

constexpr std::array kShapeOnly{
    Entry{u"brush.hatch", u"6"},
    Entry{u"brush.color", u"536870912"},
    Entry{u"background.mode", u"1"},
    Entry{u"background.color", u"536870912"},
};

constexpr std::array kDataWindow{
    Entry{u"processing", u"freeform"},   Entry{u"units", u"0"},
    Entry{u"color", u"536870912"},       Entry{u"grid.lines", u"0"},
    Entry{u"print.preview", u"no"},      Entry{u"print.orientation", u"0"},
    Entry{u"print.margin.left", u"110"}, Entry{u"print.margin.right", u"110"},
    Entry{u"print.margin.top", u"96"},   Entry{u"print.margin.bottom", u"96"},
    Entry{u"print.documentname", u""},   Entry{u"print.filename", u""},
    Entry{u"readonly", u"no"},           Entry{u"selected.mouse", u"no"},
};

constexpr std::array kBandNames{u"header", u"detail", u"footer", u"summary", u"background", u"foreground"};

constexpr std::array kBand{
    Entry{u"height", u"0"},
    Entry{u"color", u"536870912"},
    Entry{u"pointer", u"Arrow!"},
};

template <std::size_t N> std::optional<QString> find(const std::array<Entry, N> &entries, QStringView path)
{
    for (const auto &[name, value] : entries) {
        if (name == path)
            return value.toString();
    }
    return std::nullopt;
}

} // namespace

bool isObjectKind(QStringView kind)
{
    return kind == u"text" || kind == u"column" || kind == u"compute" || kind == u"picture"
        || kind == u"bitmap" || kind == u"line" || kind == u"rectangle" || kind == u"ellipse"
        || kind == u"roundrectangle";
}

QString normalizedKind(const QString &kind)
{
    const QString lower = kind.toLower();
    return lower == u"bitmap" ? QStringLiteral("picture") : lower;
}

bool isBandName(QStringView name)
{
    for (const QStringView band : kBandNames) {
        if (name.compare(band, Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

std::optional<QString> objectDefault(QStringView kind, QStringView path)
{
    if (auto found = find(kCommon, path))
        return found;
    if (kind == u"line") {
        if (auto found = find(kLineOnly, path))
            return found;
        return find(kPen, path);
    }
    if (auto found = find(kFramed, path))
        return found;
    if (kind == u"rectangle" || kind == u"ellipse" || kind == u"roundrectangle") {
        if (auto found = find(kShapeOnly, path))
            return found;
        return find(kPen, path);
    }
    if (kind == u"picture")
        return find(kPictureOnly, path);
    if (auto found = find(kTextual, path)) {
        if (path == u"format" && kind == u"column")
            return QStringLiteral("[general]");
        return found;
    }
    if (kind == u"text")
        return find(kTextOnly, path);
    if (kind == u"column")
        return find(kColumnOnly, path);
    if (kind == u"compute")
        return find(kComputeOnly, path);
    return std::nullopt;
}

std::optional<QString> dataWindowDefault(QStringView path)
{
    if (auto found = find(kDataWindow, path))
        return found;
    const qsizetype dot = path.indexOf(u'.');
    if (dot > 0 && isBandName(path.left(dot)))
        return find(kBand, path.mid(dot + 1));
    return std::nullopt;
}

} // namespace dw::schema
