#include "typednumber.h"

std::optional<TypedDecimal> splitTypedDecimal(const QString &text)
{
    TypedDecimal typed;
    for (const QChar c : text.trimmed()) {
        if (c == u'.' || c == u'．') {
            if (typed.point >= 0) {
                return std::nullopt;
            }
            typed.point = typed.digits.size();
        } else if (c.isDigit() && c.digitValue() >= 0) {
            typed.digits += QChar(u'0' + c.digitValue());
        } else {
            return std::nullopt;
        }
    }
    return typed;
}
