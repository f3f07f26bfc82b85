#include "base64.h"

namespace {

constexpr char16_t kAlphabet[] = u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/=";
constexpr qsizetype kPadIndex = 64;

int valueOf(QChar c)
{
    for (int i = 0; i < kPadIndex; ++i) {
        if (kAlphabet[i] == c.unicode()) {
            return i;
        }
    }
    return 63;
}

} // namespace

QString Base64Encode(const QString &text)
{
    const auto byteAt = [&text](qsizetype i) { return unsigned(text.at(i).unicode() & 0xFF); };
    const auto letter = [](unsigned v) { return QChar(kAlphabet[v & 63]); };

    QString out;
    out.reserve((text.size() + 2) / 3 * 4);
    qsizetype i = 0;
    for (; i + 2 < text.size(); i += 3) {
        const unsigned b0 = byteAt(i), b1 = byteAt(i + 1), b2 = byteAt(i + 2);
        out += letter(b0 >> 2);
        out += letter(((b0 & 3) << 4) | (b1 >> 4));
        out += letter(((b1 & 15) << 2) | (b2 >> 6));
        out += letter(b2);
    }
    const qsizetype rest = text.size() - i;
    if (rest == 1) {
        const unsigned b0 = byteAt(i);
        out += letter(b0 >> 2);
        out += letter((b0 & 3) << 4);
    } else if (rest == 2) {
        const unsigned b0 = byteAt(i), b1 = byteAt(i + 1);
        out += letter(b0 >> 2);
        out += letter(((b0 & 3) << 4) | (b1 >> 4));
        out += letter((b1 & 15) << 2);
    }
    while (out.size() % 4 != 0) {
        out += QChar(kAlphabet[kPadIndex]);
    }
    return out;
}

QString Base64Decode(const QString &text)
{
    QString out;
    out.reserve(text.size() / 4 * 3 + 3);
    int position = 1;
    unsigned assembled = 0;
    for (const QChar c : text) {
        if (c == QChar(kAlphabet[kPadIndex])) {
            if (position != 1 && assembled != 0) {
                out += QChar(char16_t(assembled));
            }
            return out;
        }
        const unsigned v = unsigned(valueOf(c));
        switch (position) {
        case 1:
            assembled = (v << 2) & 0xFF;
            break;
        case 2:
            out += QChar(char16_t(assembled | (v >> 4)));
            assembled = (v & 15) << 4;
            break;
        case 3:
            out += QChar(char16_t(assembled | (v >> 2)));
            assembled = (v & 3) << 6;
            break;
        default:
            out += QChar(char16_t(assembled | v));
            assembled = 0;
            break;
        }
        position = position % 4 + 1;
    }
    return out;
}
