#pragma once

#include <QByteArray>
#include <QString>

// The "ANSI code page" of the program's files and of the mail dialogue: Windows-31J (code page 932),
// converted with ICU so the result does not depend on the machine's locale.

// Characters that code page 932 cannot represent become "?", its default character.
QByteArray encodeAnsi(const QString &text);

// Byte sequences that are not valid code page 932 become U+FFFD.
QString decodeAnsi(const QByteArray &bytes);
