#pragma once
#include <string>
#include <string_view>

// An immutable text shared by every record that holds it: a loaded backup repeats its items'
// groups, file names and type names on every element, and the same names on every reload.
// Texts live in one process-wide pool and are never freed; they come from definitions, so
// the pool is bounded by what the definitions can name. Equal texts share one address.
class CSharedText {
public:
    CSharedText();
    explicit CSharedText(std::string_view text);

    const std::string& Str() const { return *m_text; }
    bool operator==(const CSharedText& other) const { return m_text == other.m_text; }

private:
    const std::string* m_text;
};
