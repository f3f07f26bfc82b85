#include "mailfields.h"

#include <algorithm>

void CheckMailField(const QString &label, const QString &value, FieldCharacters allowed)
{
    if (std::any_of(value.begin(), value.end(), [](QChar c) { return c.category() == QChar::Other_Control; })) {
        throw EMailFieldError(QStringLiteral("「") + label +
                              QStringLiteral("」に改行や制御文字は使えません。貼り付けた文字を確かめてください。"));
    }
    if (allowed == FieldCharacters::Latin1 &&
        std::any_of(value.begin(), value.end(), [](QChar c) { return c.unicode() > 0xFF; })) {
        throw EMailFieldError(QStringLiteral("「") + label +
                              QStringLiteral("」に全角文字などの使えない文字が含まれています。"));
    }
}
