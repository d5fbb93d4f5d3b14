#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One field of an item's value: its data type, its bytes and the "Dec Value" and
// "Hex Value" texts the content view shows and edits.
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
    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    int Size() const { return m_size; }

    // Bytes to both texts.
    void FormatValue();
    // m_decText to bytes.
    void ParseDecText();

    // Size in bytes of a data-type name, -1 when the name is not one of the 25.
    static int DataTypeSize(const std::string& typeName);

private:
    std::string m_typeName;
    std::string m_decText;
    std::vector<uint8_t> m_bytes = std::vector<uint8_t>(1, 0);
    int m_size = 0;
    std::string m_hexText;
};
