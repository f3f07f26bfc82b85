#include "codepage.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

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
    // (With a one-byte substitute ICU reads undecodable bytes as U+FFFD.)
    ucnv_setSubstChars(conv.get(), "?", 1, &status);
    return conv;
}

// Printable ASCII, tab, CR and LF read the same in code page 932 as in Latin-1; ICU's mapping moves a
// few other control bytes (1A, 1C, 7F). Most of the program's files are such text (days, numbers,
// addresses), and reading them this way spares start-up loading ICU's converter.
bool isPlainAscii(QByteArrayView bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return (c >= 0x20 && c <= 0x7E) || c == '\t' || c == '\r' || c == '\n'; });
}

bool isPlainAscii(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c.unicode() >= 0x20 && c.unicode() <= 0x7E) || c == u'\t' || c == u'\r' || c == u'\n';
    });
}

// Best-fit entries of the platform's table for code page 932 that ICU's table has neither as a mapping
// nor as a fallback: each goes to the code page's own full-width twin.
char16_t bestFitTwin(char16_t c)
{
    switch (c) {
    case 0x00A2: // ¢ → ￠ (8191)
        return 0xFFE0;
    case 0x00A3: // £ → ￡ (8192)
        return 0xFFE1;
    case 0x00AC: // ¬ → ￢ (81CA)
        return 0xFFE2;
    default:
        return c;
    }
}

QString withBestFits(QStringView text)
{
    QString out = text.toString();
    for (QChar &c : out) {
        c = QChar(bestFitTwin(c.unicode()));
    }
    return out;
}

bool needsBestFit(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return bestFitTwin(c.unicode()) != c.unicode(); });
}

} // namespace

bool ansiBytesReencodeAlike(QByteArrayView validBytes)
{
    return std::none_of(validBytes.begin(), validBytes.end(), [](char c) {
        const auto b = static_cast<unsigned char>(c);
        return b == 0x87 || b == 0xED || b == 0xEE || b == 0xFA;
    });
}

struct AnsiCodec::Converters
{
    Converter decoder;
    Converter strictDecoder;
    Converter encoder;
};

AnsiCodec::AnsiCodec()
    : m_conv(new Converters)
{
}

AnsiCodec::~AnsiCodec()
{
    delete m_conv;
}

QString AnsiCodec::decode(QByteArrayView bytes, bool *valid)
{
    if (valid != nullptr) {
        *valid = true;
    }
    if (bytes.isEmpty()) {
        return {};
    }
    if (isPlainAscii(bytes)) {
        return QString::fromLatin1(bytes);
    }
    UErrorCode status = U_ZERO_ERROR;
    // Each byte yields at most one UTF-16 unit.
    QString out(bytes.size() + 1, Qt::Uninitialized);
    if (valid != nullptr) {
        if (!m_conv->strictDecoder) {
            m_conv->strictDecoder = openCp932();
            ucnv_setToUCallBack(m_conv->strictDecoder.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                                &status);
        }
        ucnv_resetToUnicode(m_conv->strictDecoder.get());
        const int32_t len = ucnv_toUChars(m_conv->strictDecoder.get(), reinterpret_cast<UChar *>(out.data()),
                                          int32_t(out.size()), bytes.data(), int32_t(bytes.size()), &status);
        if (U_SUCCESS(status)) {
            out.truncate(len);
            return out;
        }
        *valid = false;
        status = U_ZERO_ERROR;
    }
    if (!m_conv->decoder) {
        m_conv->decoder = openCp932();
    }
    ucnv_resetToUnicode(m_conv->decoder.get());
    const int32_t len = ucnv_toUChars(m_conv->decoder.get(), reinterpret_cast<UChar *>(out.data()), int32_t(out.size()),
                                      bytes.data(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status)) {
        throw std::runtime_error("code page 932 decoding failed");
    }
    out.truncate(len);
    return out;
}

std::optional<QByteArray> AnsiCodec::encodeFaithfully(QStringView text)
{
    if (isPlainAscii(text)) {
        return QString::fromRawData(text.data(), text.size()).toLatin1();
    }
    UErrorCode status = U_ZERO_ERROR;
    if (!m_conv->encoder) {
        m_conv->encoder = openCp932();
        // Off by default: without it 〜 and − have no form at all.
        ucnv_setFallback(m_conv->encoder.get(), true);
        ucnv_setFromUCallBack(m_conv->encoder.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    }
    UConverter *conv = m_conv->encoder.get();
    ucnv_resetFromUnicode(conv);
    const QString twins = needsBestFit(text) ? withBestFits(text) : QString();
    const QStringView source = twins.isNull() ? text : QStringView(twins);
    const auto *src = reinterpret_cast<const UChar *>(source.utf16());
    const UChar *srcEnd = src + source.size();
    // A UTF-16 unit never needs more than two bytes in code page 932.
    QByteArray out(source.size() * 2 + 2, Qt::Uninitialized);
    char *target = out.data();
    const char *const targetStart = target;
    ucnv_fromUnicode(conv, &target, target + out.size(), &src, srcEnd, nullptr, true, &status);
    if (U_FAILURE(status)) {
        return std::nullopt;
    }
    const qsizetype len = target - targetStart;
    // Some fallbacks land on a different character (¥ on "\", ‾ on "~"), and ICU drops the invisible
    // characters (the soft hyphen, the zero-width joiner, variation selectors). Characters go one for
    // one and ASCII stays ASCII, so as many characters above ASCII must come out as went in.
    const qsizetype wanted = std::count_if(source.begin(), source.end(), [](QChar c) { return c.unicode() >= 0x80; });
    qsizetype produced = 0;
    for (qsizetype i = 0; i < len; ++i) {
        const auto b = static_cast<unsigned char>(out[i]);
        if (b >= 0x80) {
            ++produced;
            // A lead byte (81..9F, E0..FC) takes its trail byte with it; A1..DF stand alone.
            if ((b >= 0x81 && b <= 0x9F) || b >= 0xE0) {
                ++i;
            }
        }
    }
    if (produced != wanted) {
        return std::nullopt;
    }
    out.truncate(len);
    return out;
}

QByteArray AnsiCodec::encode(QStringView text)
{
    if (std::optional<QByteArray> exact = encodeFaithfully(text)) {
        return *exact;
    }
    // One character at a time (a surrogate pair is one), "?" for each that has no faithful form.
    QByteArray out;
    out.reserve(text.size() * 2);
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype n = (QChar::isHighSurrogate(text[i].unicode()) && i + 1 < text.size() &&
                             QChar::isLowSurrogate(text[i + 1].unicode()))
                                ? 2
                                : 1;
        if (std::optional<QByteArray> one = encodeFaithfully(text.sliced(i, n))) {
            out += *one;
        } else {
            out += '?';
        }
        i += n;
    }
    return out;
}

QByteArray encodeAnsi(const QString &text)
{
    AnsiCodec codec;
    return codec.encode(text);
}

std::optional<QByteArray> encodeAnsiFaithfully(QStringView text)
{
    AnsiCodec codec;
    return codec.encodeFaithfully(text);
}

QString decodeAnsi(const QByteArray &bytes)
{
    AnsiCodec codec;
    return codec.decode(bytes);
}
