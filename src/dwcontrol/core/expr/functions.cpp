#include "expr/functions.h"

#include <array>

namespace dw::expr {

std::span<const FunctionSpec> functions()
{
    using Function = ExpressionNode::Function;
    static constexpr std::array table{
        FunctionSpec{u"ucase", Function::Ucase, 1, u"El texto en mayúsculas"},
        FunctionSpec{u"upper", Function::Upper, 1, u"El texto en mayúsculas"},
        FunctionSpec{u"string", Function::String, 1, u"El valor como texto"},
        FunctionSpec{u"isnull", Function::IsNull, 1, u"Verdadero cuando el valor es nulo"},
        FunctionSpec{u"LookUpDisplay", Function::LookUpDisplay, 1,
                     u"El texto que muestra una columna de lista desplegable"},
        FunctionSpec{u"Describe", Function::Describe, 1, {}},
        FunctionSpec{u"Integer", Function::Integer, 1, u"El valor como número entero"},
        FunctionSpec{u"Evaluate", Function::Evaluate, 2, {}},
    };
    return table;
}

} // namespace dw::expr
