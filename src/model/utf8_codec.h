#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// UTF-8 <-> UTF-16 as the "utf8" fields need it, with the results of the platform
// conversions the item files were made with: ill-formed input becomes U+FFFD (one per
// maximal ill-formed subsequence), and encoding never writes a partial sequence.

// Decodes n bytes into at most maxUnits UTF-16 units (zero bytes decode to zero units).
std::vector<uint16_t> Utf8ToUtf16(const uint8_t* bytes, size_t n, size_t maxUnits);
// Encodes n units as UTF-8, stopping before the first character that would pass maxBytes.
// A lone surrogate is encoded as U+FFFD.
std::vector<uint8_t> Utf16ToUtf8(const uint16_t* units, size_t n, size_t maxBytes);
