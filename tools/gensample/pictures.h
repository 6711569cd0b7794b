#pragma once

#include <QString>

#include <cstdint>

// Every picture of the sample directory is drawn here; nothing comes from elsewhere.
// Each function writes one file and returns false when it cannot.

// The network's logo (JPEG) and the sponsoring agency's logo (PNG).
[[nodiscard]] bool drawNetworkLogo(const QString &path);
[[nodiscard]] bool drawAgencyLogo(const QString &path);
// A member's portrait: a silhouette with the member's initials, colours from `seed`.
[[nodiscard]] bool drawPortrait(const QString &path, const QString &initials, std::uint64_t seed);
// An institution's or company's logo: a badge with its acronym.
[[nodiscard]] bool drawInstitutionLogo(const QString &path, const QString &acronym, int index, bool company);
