#pragma once
#include <initializer_list>
#include <string>
#include <string_view>

// Texts a user reads (messages, questions, job captions) pass through TrText, so the window
// can show them in the user's language; lupdate gathers the calls like translate() calls.
// Without a translator the source text comes back unchanged, as the command-line tool
// and the tests see it.
using TextTranslator = std::string (*)(const char* context, const char* source);
void SetTextTranslator(TextTranslator translator);
std::string TrText(const char* context, const char* source);
// Marks a text kept in a constant for lupdate; pass it through TrText(context, ...) where shown.
constexpr const char* TrNoop(const char* /*context*/, const char* source) { return source; }

// Puts the arguments in place of %1 ... %9, as QString::arg does, so a translation can
// order them as its language needs. Arguments are not searched for markers themselves; an
// argument that ends a sentence takes the place of the pattern's full stop after it.
std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> args);
