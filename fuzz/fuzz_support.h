// Helpers shared by the fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

// Stops the run like a crash when a promise of the code under test is broken,
// so that libFuzzer keeps the input that broke it.
#define FUZZ_REQUIRE(condition) \
    ((condition) ? void(0) : ::hourlink::fuzz::Broken(#condition, __FILE__, __LINE__))

namespace hourlink::fuzz {

[[noreturn]] inline void Broken(const char* what, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: broken: %s\n", file, line, what);
    std::abort();
}

// Text as the Windows API hands it over: every two bytes one UTF-16 unit, so
// that paired and lone surrogates occur as they would there.
inline std::wstring Utf16Text(const std::uint8_t* data, std::size_t size) {
    std::wstring text;
    text.reserve(size / 2);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        text += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
    }
    return text;
}

// Text whose every byte is one character (Latin-1), for inputs that are
// mostly ASCII and that a person should be able to read in a seed file.
inline std::wstring ByteText(const std::uint8_t* data, std::size_t size) {
    return std::wstring(data, data + size);
}

}  // namespace hourlink::fuzz
