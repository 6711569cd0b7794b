// Layout syntax: any text parsed, and what parses built into a layout.
#include "objects/layout.h"
#include "objects/layoutsyntax.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto items = dw::syntax::parseLayout(text);
    if (!items)
        return 0;
    const auto layout = dw::Layout::fromItems(*items);
    if (layout)
        (void)layout->presentation();
    return 0;
}
