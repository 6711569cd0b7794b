#include "db/sqlstate.h"

#include <array>
#include <utility>

namespace dw {

namespace {

using Entry = std::pair<const char16_t *, const char16_t *>;

// Whole codes first: they say more than their class.
constexpr std::array codes{
    Entry{u"42501", u"El usuario de la conexión no tiene permiso para esta operación"},
    Entry{u"25006", u"La conexión es de sólo lectura y no admite cambios"},
    Entry{u"57014", u"La consulta fue cancelada antes de terminar"},
    Entry{u"HYT00", u"La consulta fue cancelada antes de terminar"},
    Entry{u"HY008", u"La consulta fue cancelada antes de terminar"},
    Entry{u"28P01", u"El usuario o la contraseña no son válidos"},
    Entry{u"3D000", u"La base de datos indicada no existe"},
    Entry{u"42P01", u"La tabla indicada no existe"},
    Entry{u"42703", u"Una columna indicada no existe"},
    Entry{u"53300", u"El servidor no admite más conexiones por ahora"},
    Entry{u"57P01", u"El servidor se está apagando"},
    Entry{u"57P03", u"El servidor todavía no acepta conexiones"},
};

constexpr std::array classes{
    Entry{u"01", u"Aviso del controlador"},
    Entry{u"07", u"Error en los parámetros de la instrucción"},
    Entry{u"08", u"Se perdió o no se pudo establecer la conexión con el servidor"},
    Entry{u"0A", u"El servidor no admite esta función"},
    Entry{u"22", u"Un valor no es válido para su tipo de dato"},
    Entry{u"23", u"La operación viola una restricción de integridad"},
    Entry{u"24", u"El cursor no está en un estado válido"},
    Entry{u"25", u"La transacción no está en un estado que permita la operación"},
    Entry{u"28", u"La autenticación con el servidor falló"},
    Entry{u"3D", u"El catálogo o la base de datos no es válido"},
    Entry{u"3F", u"El esquema no es válido"},
    Entry{u"40", u"El servidor deshizo la transacción"},
    Entry{u"42", u"Error de sintaxis o de permisos en la instrucción"},
    Entry{u"53", u"El servidor no tiene recursos suficientes"},
    Entry{u"54", u"La instrucción pasa de un límite del servidor"},
    Entry{u"55", u"El objeto no está en un estado que permita la operación"},
    Entry{u"57", u"Un operador o el propio servidor interrumpió la operación"},
    Entry{u"58", u"Error del sistema en el servidor"},
    Entry{u"HY", u"Error del controlador ODBC"},
    Entry{u"IM", u"Error del administrador de controladores ODBC"},
    Entry{u"XX", u"Error interno del servidor"},
};

} // namespace

QString sqlStateExplanation(const QString &state)
{
    if (state.size() != 5)
        return {};
    for (const auto &[code, text] : codes) {
        if (state.compare(QStringView(code), Qt::CaseInsensitive) == 0)
            return QString::fromUtf16(text);
    }
    for (const auto &[prefix, text] : classes) {
        if (state.startsWith(QStringView(prefix), Qt::CaseInsensitive))
            return QString::fromUtf16(text);
    }
    return {};
}

QString explainedError(const QString &context, const QString &state, const QString &message)
{
    QString text = context;
    if (text.endsWith(u'.'))
        text.chop(1);
    text += QStringLiteral(": ");
    QString meaning = sqlStateExplanation(state);
    if (!meaning.isEmpty()) {
        meaning[0] = meaning[0].toLower();
        text += QStringLiteral("%1 (SQLSTATE %2). ").arg(meaning, state);
    }
    return text + message;
}

bool isCancelledState(const QString &state)
{
    return state == u"57014" || state == u"HYT00" || state == u"HY008";
}

} // namespace dw
