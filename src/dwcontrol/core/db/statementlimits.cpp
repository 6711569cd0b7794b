#include "db/statementlimits.h"

#include "settings/settingsstore.h"

#include <algorithm>

namespace dw {

namespace {

qint64 positiveSetting(const SettingsStore &settings, const QString &key, qint64 fallback)
{
    bool ok = false;
    const qint64 value = settings.text(key).value_or(QString()).trimmed().toLongLong(&ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace

StatementLimits statementLimits()
{
    const SettingsStore settings = SettingsStore::program();
    StatementLimits limits;
    // Bounded so that no product of seconds or megabytes overflows further on.
    constexpr qint64 megabyte = 1024 * 1024;
    constexpr qint64 mostMegabytes = 1024 * 1024;
    const auto megabytes = [&](const QString &key, qint64 fallback) {
        return std::min(positiveSetting(settings, key, fallback / megabyte), mostMegabytes) * megabyte;
    };
    limits.seconds = int(std::min<qint64>(
        positiveSetting(settings, QStringLiteral("Consultas/SegundosMaximos"), limits.seconds), 24 * 3600));
    limits.memoryBytes = megabytes(QStringLiteral("Consultas/MemoriaTemporalMB"), limits.memoryBytes);
    limits.resultBytes = megabytes(QStringLiteral("Consultas/ResultadoMB"), limits.resultBytes);
    return limits;
}

} // namespace dw
