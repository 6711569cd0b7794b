#include "text/accents.h"

#include "text/upper.h"

#include <array>
#include <string>

namespace dw {

namespace {

// Two-byte characters U+00C0 to U+017F (Latin-1 and Latin Extended-A): the ASCII capital
// each one is an accented form of, 0 for the others. Built once from Unicode's
// decompositions.
struct Folding
{
    static constexpr char32_t First = 0xC0;
    static constexpr char32_t Last = 0x17F;
    std::array<char, Last - First + 1> base{};
    QString accented;
    QString bases;

    Folding()
    {
        for (char32_t code = First; code <= Last; ++code) {
            const QChar c{char16_t(code)};
            if (!c.isUpper())
                continue;
            const QString decomposed = QString(c).normalized(QString::NormalizationForm_D);
            const QChar letter = decomposed.at(0);
            if (decomposed.size() > 1 && letter.unicode() >= u'A' && letter.unicode() <= u'Z') {
                base[code - First] = char(letter.unicode());
                accented += c;
                bases += letter;
            }
        }
    }
};

const Folding &folding()
{
    static const Folding table;
    return table;
}

} // namespace

std::size_t foldedUpperUtf8(std::string_view text, char *out)
{
    const std::size_t length = upperUtf8(text, out);
    const Folding &table = folding();
    std::size_t written = 0;
    for (std::size_t at = 0; at < length;) {
        const auto lead = static_cast<unsigned char>(out[at]);
        if (lead >= 0xC3 && lead <= 0xC5 && at + 1 < length) {
            const char32_t code
                = (char32_t(lead & 0x1F) << 6) | (static_cast<unsigned char>(out[at + 1]) & 0x3F);
            if (code >= Folding::First && code <= Folding::Last && table.base[code - Folding::First] != 0) {
                out[written++] = table.base[code - Folding::First];
                at += 2;
                continue;
            }
        }
        out[written++] = out[at++];
    }
    return written;
}

QString foldedUpperText(const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    std::string out(upperUtf8Capacity(std::size_t(utf8.size())), '\0');
    out.resize(foldedUpperUtf8({utf8.constData(), std::size_t(utf8.size())}, out.data()));
    return QString::fromStdString(out);
}

bool hasAccents(const QString &text)
{
    return foldedUpperText(text) != upperText(text);
}

const QString &accentedCapitals()
{
    return folding().accented;
}

const QString &baseCapitals()
{
    return folding().bases;
}

} // namespace dw
