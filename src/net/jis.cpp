#include "jis.h"

#include "codepage.h"

#include <unicode/ucnv.h>

#include <memory>

namespace {

struct ConverterCloser
{
    void operator()(UConverter *c) const { ucnv_close(c); }
};

} // namespace

QByteArray ConvertToJIS(const QString &text)
{
    const QString widened = decodeAnsi(encodeAnsi(text));
    if (widened.isEmpty()) {
        return {};
    }

    UErrorCode status = U_ZERO_ERROR;
    // version=0 is plain ISO-2022-JP: ASCII, JIS X 0201 Roman and JIS X 0208, no half-width katakana.
    std::unique_ptr<UConverter, ConverterCloser> conv(ucnv_open("ISO_2022,locale=ja,version=0", &status));
    if (U_FAILURE(status)) {
        return {};
    }
    // The fallbacks map half-width katakana and the code page 932 forms (～ ∥ － ￠ ￡ ￢) to JIS X 0208.
    ucnv_setFallback(conv.get(), true);
    ucnv_setSubstChars(conv.get(), "?", 1, &status);

    const auto *src = reinterpret_cast<const UChar *>(widened.utf16());
    const auto srcLen = static_cast<int32_t>(widened.size());
    status = U_ZERO_ERROR;
    const int32_t needed = ucnv_fromUChars(conv.get(), nullptr, 0, src, srcLen, &status);
    if (status != U_BUFFER_OVERFLOW_ERROR || needed <= 0) {
        return {};
    }
    QByteArray out(needed, '\0');
    ucnv_resetFromUnicode(conv.get());
    status = U_ZERO_ERROR;
    const int32_t len = ucnv_fromUChars(conv.get(), out.data(), needed, src, srcLen, &status);
    if (U_FAILURE(status)) {
        return {};
    }
    out.truncate(len);
    const qsizetype zero = out.indexOf('\0');
    if (zero >= 0) {
        out.truncate(zero);
    }
    return out;
}
