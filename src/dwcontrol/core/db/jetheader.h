#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

namespace dw {

// What page 0 of an Access (Jet) file tells before any library touches the file.
struct JetHeader
{
    int version = 0; // 0 Jet 3, 1 Jet 4, 2 and up the later ACE formats
    qsizetype pageSize = 0; // 2048 for Jet 3, 4096 for the rest
    QString password; // the database password; empty when there is none
};

// True when `data` starts like an Access database (the "Standard Jet DB" or
// "Standard ACE DB" signature).
[[nodiscard]] bool looksLikeJet(QByteArrayView data);

// Reads page 0: version, page size and password. The password sits RC4-encrypted in the
// header (key C7 DA 39 6B over the 128 bytes from 0x18); Jet 4 also masks its 40 bytes
// of UCS-2 with the integer part of the creation date. Nothing when `data` holds no
// complete Jet page 0.
[[nodiscard]] std::optional<JetHeader> readJetHeader(QByteArrayView data);

} // namespace dw
