#pragma once
// Turning fuzzer bytes into texts: UTF-8 most of the time, raw UTF-16 code units (lone surrogates
// included) when the first byte says so, so every QChar value can reach the code under test.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace qv::fuzz {

inline QString textFromBytes(const uint8_t* data, size_t size)
{
    if (size == 0)
        return {};
    if (data[0] % 4 == 0) {
        QString text;
        for (size_t i = 1; i + 1 < size; i += 2)
            text.append(QChar(char16_t(data[i] | data[i + 1] << 8)));
        return text;
    }
    return QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
}

// Stops the run with the input that broke a property (libFuzzer saves it as a crash file).
#define QV_FUZZ_CHECK(condition)                                                                             \
    do {                                                                                                     \
        if (!(condition)) {                                                                                  \
            fprintf(stderr, "property broken: %s (%s:%d)\n", #condition, __FILE__, __LINE__);                \
            abort();                                                                                         \
        }                                                                                                    \
    } while (0)

} // namespace qv::fuzz
