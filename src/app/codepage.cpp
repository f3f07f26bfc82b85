#include "codepage.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace {

struct ConverterCloser
{
    void operator()(UConverter *c) const { ucnv_close(c); }
};
using Converter = std::unique_ptr<UConverter, ConverterCloser>;

Converter openCp932()
{
    UErrorCode status = U_ZERO_ERROR;
    Converter conv(ucnv_open("windows-31j", &status));
    if (U_FAILURE(status)) {
        throw std::runtime_error("ICU has no converter for code page 932");
    }
    // ICU's own substitute for this code page is the two bytes FC FC; the code page's default is "?".
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    return conv;
}

// Printable ASCII, tab, CR and LF read the same in code page 932 as in Latin-1; ICU's mapping moves a
// few other control bytes (1A, 1C, 7F). Most of the program's files are such text (days, numbers,
// addresses), and reading them this way spares start-up loading ICU's converter.
bool isPlainAscii(const QByteArray &bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\r' || c == '\n'; });
}

} // namespace

QByteArray encodeAnsi(const QString &text)
{
    if (text.isEmpty()) {
        return {};
    }
    Converter conv = openCp932();
    const auto *src = reinterpret_cast<const UChar *>(text.utf16());
    const auto srcLen = static_cast<int32_t>(text.size());
    // A UTF-16 unit never needs more than two bytes in code page 932 ("?" for a lone surrogate is one).
    QByteArray out(qsizetype(srcLen) * 2 + 2, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t len = ucnv_fromUChars(conv.get(), out.data(), int32_t(out.size()), src, srcLen, &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("code page 932 encoding failed");
    }
    out.truncate(len);
    return out;
}

QString decodeAnsi(const QByteArray &bytes)
{
    if (bytes.isEmpty()) {
        return {};
    }
    if (isPlainAscii(bytes)) {
        return QString::fromLatin1(bytes);
    }
    Converter conv = openCp932();
    // Each byte yields at most one UTF-16 unit.
    QString out(bytes.size() + 1, Qt::Uninitialized);
    UErrorCode status = U_ZERO_ERROR;
    const int32_t len = ucnv_toUChars(conv.get(), reinterpret_cast<UChar *>(out.data()), int32_t(out.size()),
                                      bytes.constData(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("code page 932 decoding failed");
    }
    out.truncate(len);
    return out;
}
