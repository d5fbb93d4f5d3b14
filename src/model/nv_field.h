#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// One field of an item's value: its data type, its bytes and the "Dec Value" and
// "Hex Value" texts the content view shows and edits.
//
// Texts are byte strings. A text field ("string", "utf16", "utf8") shows one byte per
// character or code unit, i.e. Latin-1; its text ends at the first zero character.
class CNVField {
public:
    // A data-type name, or a text type with its length: "string[16]", "utf16[8]", "utf8[32]".
    void SetType(const std::string& text);
    // Copies Size() bytes from src and formats both texts. Never changes the bytes.
    void SetBytes(const uint8_t* src);
    // An edit of the "Dec Value" cell: text to bytes, then both texts rewritten.
    void SetDecText(const std::string& text);
    // An edit of the "Hex Value" cell.
    void SetHexText(const std::string& text);

    const std::string& TypeName() const { return m_typeName; }
    const std::string& DecText() const { return m_decText; }
    const std::string& HexText() const { return m_hexText; }
    // Exactly Size() bytes.
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    int Size() const { return m_size; }

    // Bytes to both texts.
    void FormatValue();
    // m_decText to bytes.
    void ParseDecText();

    // Why text can't become this field's value through the "Dec Value" or the "Hex Value"
    // cell (not a number of the field's type, or one that does not fit it), said as a hint
    // naming what is allowed; empty when it can. The setters above stay lenient for files.
    std::string DecTextRefusal(const std::string& text) const;
    std::string HexTextRefusal(const std::string& text) const;

    // Size in bytes of a data-type name, -1 when the name is not one of the 25.
    static int DataTypeSize(std::string_view typeName);
    // True for "string", "utf16" and "utf8", whose size comes from a declared length.
    static bool IsTextTypeName(std::string_view typeName);

    // Longest declared text length taken; larger lengths are a damaged catalogue.
    static constexpr int kMaxTextLength = 0x10000;

private:
    void SetTexts(std::string dec, std::string hex);

    std::string m_typeName;
    std::string m_decText;
    std::vector<uint8_t> m_bytes;
    int m_size = 0;
    std::string m_hexText;
};
