#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

#include <optional>

// The "ANSI code page" of the program's files and of the mail dialogue: Windows-31J (code page 932),
// converted with ICU so the result does not depend on the machine's locale.
//
// Encoding uses ICU's fallback mappings (〜 U+301C, − U+2212, ‖ U+2016 and — U+2014 go to the code
// page's wave dash, minus, parallel and bar) plus the entries of the platform's best-fit table that ICU
// lacks (¢, £ and ¬ go to 8191, 8192 and 81CA). These read back as the code page's own twin of the
// character (～, －, ∥, ―, ￠, ￡, ￢), which is what the files have always held for them. Best fits that
// would turn a character into a different one (¥ into "\", © into "c") are not used.

// Characters that code page 932 cannot represent become "?", its default character.
QByteArray encodeAnsi(const QString &text);

// The text in code page 932 when every character has its own form there or a twin as above; nothing
// when some character would be lost (an emoji, 𠮷, ©, ¥).
std::optional<QByteArray> encodeAnsiFaithfully(QStringView text);

// Byte sequences that are not valid code page 932 become U+FFFD.
QString decodeAnsi(const QByteArray &bytes);

// False when valid code page 932 bytes may hold a character with two codes (lead bytes 87, ED, EE and
// FA: the NEC and IBM rows), which is written back with the other code; all other valid bytes read
// back into the same bytes. Errs on the safe side: a trail byte of that value counts too.
bool ansiBytesReencodeAlike(QByteArrayView validBytes);

// Many short pieces (the lines of a file) with one converter each way, opened on first use.
class AnsiCodec final
{
public:
    AnsiCodec();
    ~AnsiCodec();
    AnsiCodec(const AnsiCodec &) = delete;
    AnsiCodec &operator=(const AnsiCodec &) = delete;

    // As decodeAnsi; *valid (when given) tells whether every byte was valid code page 932.
    QString decode(QByteArrayView bytes, bool *valid = nullptr);
    // As encodeAnsiFaithfully.
    std::optional<QByteArray> encodeFaithfully(QStringView text);
    // As encodeAnsi.
    QByteArray encode(QStringView text);

private:
    struct Converters;
    Converters *m_conv;
};
