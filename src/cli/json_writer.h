#pragma once
#include <cstdint>
#include <string>
#include <vector>

// A JSON string literal of a byte string: valid UTF-8 passes through, other bytes as \u00XX.
std::string JsonString(const std::string& text);
std::string HexBytes(const std::vector<uint8_t>& bytes);
// Pairs of hexadecimal digits, spaces between them allowed; false on anything else.
bool ParseHexBytes(const std::string& text, std::vector<uint8_t>& bytes);
