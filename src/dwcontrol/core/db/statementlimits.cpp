#include "db/statementlimits.h"

#include <QCoreApplication>
#include <QSettings>

#include <algorithm>

namespace dw {

namespace {

qint64 positiveSetting(const QSettings &settings, const QString &key, qint64 fallback)
{
    bool ok = false;
    const qint64 value = settings.value(key).toLongLong(&ok);
    return ok && value > 0 ? value : fallback;
}

} // namespace

StatementLimits statementLimits()
{
    const QSettings settings(QStringLiteral("Calvexa"), QCoreApplication::applicationName());
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
