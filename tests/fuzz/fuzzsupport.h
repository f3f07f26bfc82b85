#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include <unistd.h>

// Turns fuzz bytes into text two ways, so both ordinary text and every UTF-16 unit (lone surrogates,
// U+0000, U+FFFF) reach the code: an even first byte reads the rest as UTF-8, an odd one as raw UTF-16.
inline QString fuzzText(const uint8_t *data, size_t size)
{
    if (size == 0) {
        return {};
    }
    const auto *rest = reinterpret_cast<const char *>(data + 1);
    const qsizetype restSize = qsizetype(size - 1);
    if (data[0] % 2 == 0) {
        return QString::fromUtf8(rest, restSize);
    }
    QString text(restSize / 2, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        text[i] = QChar(char16_t(uint8_t(rest[2 * i]) | (uint8_t(rest[2 * i + 1]) << 8)));
    }
    return text;
}

// A broken expectation is a finding like a crash: print it and abort so libFuzzer keeps the input.
[[noreturn]] inline void fuzzFail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n%s\n", what, detail.toUtf8().constData());
    std::abort();
}

#define FUZZ_CHECK(cond, detail)                                                                                       \
    do {                                                                                                               \
        if (!(cond)) {                                                                                                 \
            fuzzFail(#cond, detail);                                                                                   \
        }                                                                                                              \
    } while (false)

// One private folder per fuzzer process for the files the targets write; removed at exit.
inline const QString &fuzzScratchDir()
{
    static const QString dir = [] {
        const char *base = std::getenv("TMPDIR");
        std::string templ = std::string(base && *base ? base : "/tmp") + "/eveluna-fuzz-XXXXXX";
        if (::mkdtemp(templ.data()) == nullptr) {
            std::perror("mkdtemp");
            std::abort();
        }
        static std::string toRemove;
        toRemove = templ;
        std::atexit([] {
            const std::string command = "rm -rf '" + toRemove + "'";
            [[maybe_unused]] const int rc = std::system(command.c_str());
        });
        return QString::fromLocal8Bit(templ.c_str());
    }();
    return dir;
}

// Writes the bytes to a file of the scratch folder, replacing what it held.
inline QString fuzzFile(const char *name, const uint8_t *data, size_t size)
{
    const QString path = fuzzScratchDir() + u'/' + QLatin1String(name);
    std::FILE *f = std::fopen(path.toLocal8Bit().constData(), "wb");
    if (f == nullptr || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror("fuzz file");
        std::abort();
    }
    return path;
}
