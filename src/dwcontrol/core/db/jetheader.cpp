#include "db/jetheader.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace dw {

namespace {

constexpr qsizetype EncryptedStart = 0x18;
constexpr qsizetype EncryptedLength = 128;
constexpr qsizetype VersionOffset = 0x14;
constexpr qsizetype PasswordOffset = 0x42;
constexpr qsizetype CreationDateOffset = 0x72;

void rc4(std::array<unsigned char, 4> key, unsigned char *data, qsizetype length)
{
    std::array<unsigned char, 256> s{};
    for (int i = 0; i < 256; ++i)
        s[std::size_t(i)] = static_cast<unsigned char>(i);
    unsigned j = 0;
    for (unsigned i = 0; i < 256; ++i) {
        j = (j + s[i] + key[i % key.size()]) & 0xFF;
        std::swap(s[i], s[j]);
    }
    unsigned a = 0;
    unsigned b = 0;
    for (qsizetype k = 0; k < length; ++k) {
        a = (a + 1) & 0xFF;
        b = (b + s[a]) & 0xFF;
        std::swap(s[a], s[b]);
        data[k] ^= s[(s[a] + s[b]) & 0xFF];
    }
}

} // namespace

bool looksLikeJet(QByteArrayView data)
{
    static constexpr char jet[] = "\x00\x01\x00\x00Standard Jet DB";
    static constexpr char ace[] = "\x00\x01\x00\x00Standard ACE DB";
    constexpr qsizetype length = sizeof(jet) - 1;
    if (data.size() < length)
        return false;
    return std::memcmp(data.data(), jet, length) == 0 || std::memcmp(data.data(), ace, length) == 0;
}

std::optional<JetHeader> readJetHeader(QByteArrayView data)
{
    if (!looksLikeJet(data) || data.size() < 2048)
        return std::nullopt;
    JetHeader header;
    header.version = static_cast<unsigned char>(data[VersionOffset]);
    header.pageSize = header.version == 0 ? 2048 : 4096;
    if (data.size() < header.pageSize)
        return std::nullopt;

    std::array<unsigned char, EncryptedStart + EncryptedLength> page{};
    std::memcpy(page.data(), data.data(), page.size());
    rc4({0xC7, 0xDA, 0x39, 0x6B}, page.data() + EncryptedStart, EncryptedLength);

    if (header.version == 0) {
        // Jet 3: up to 20 single-byte characters.
        for (qsizetype i = 0; i < 20 && page[std::size_t(PasswordOffset + i)] != 0; ++i)
            header.password += QChar(char16_t(page[std::size_t(PasswordOffset + i)]));
        return header;
    }

    const auto bits = qFromLittleEndian<quint64>(page.data() + CreationDateOffset);
    double created = 0;
    std::memcpy(&created, &bits, sizeof created);
    // A damaged date gives some mask; only the comparison with the typed password suffers.
    const double floored = std::isfinite(created) ? std::floor(created) : 0.0;
    const auto clamped
        = static_cast<std::int32_t>(std::clamp(floored, double(std::numeric_limits<std::int32_t>::min()),
                                               double(std::numeric_limits<std::int32_t>::max())));
    std::array<unsigned char, 4> mask{};
    qToLittleEndian(clamped, mask.data());
    for (qsizetype i = 0; i < 20; ++i) {
        const auto index = std::size_t(PasswordOffset + 2 * i);
        const char16_t unit = char16_t((page[index] ^ mask[std::size_t((2 * i) % 4)])
                                       | (page[index + 1] ^ mask[std::size_t((2 * i + 1) % 4)]) << 8);
        if (unit == 0)
            break;
        header.password += QChar(unit);
    }
    return header;
}

} // namespace dw
