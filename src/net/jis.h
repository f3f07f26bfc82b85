#pragma once

#include <QByteArray>
#include <QString>

// The mail body in ISO-2022-JP (7-bit JIS, RFC 1468). The text is first narrowed to code page 932 and
// widened again, so what the system code page cannot hold arrives as "?". Half-width katakana are
// written as their full-width forms (a voiced mark stays a separate character), and every line is
// back in ASCII (ESC ( B) before its CR LF and at the end. The result stops at the first zero byte.
QByteArray ConvertToJIS(const QString &text);
