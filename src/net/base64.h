#pragma once

#include <QString>

// Base64 over one byte per character: each character stands for the low 8 bits of its UTF-16 unit.
// Used for AUTH LOGIN and for the account name and password stored in setting.ini.

// Standard Base64 (RFC 4648 alphabet and "=" padding), without line breaks.
QString Base64Encode(const QString &text);

// A lenient reader: a character outside the alphabet counts as "/" (63) and is not skipped, and
// decoding ends at the first "=". Each decoded byte becomes one character U+0000..U+00FF.
QString Base64Decode(const QString &text);
