#include "jobs/text_translation.h"

#include <atomic>

namespace {
// Set once by the front end before any job runs; read from job threads.
std::atomic<TextTranslator> g_translator{nullptr};
}  // namespace

void SetTextTranslator(TextTranslator translator) { g_translator.store(translator); }

std::string TrText(const char* context, const char* source) {
    const TextTranslator translator = g_translator.load();
    return translator ? translator(context, source) : std::string(source);
}

std::string FillText(std::string_view pattern, std::initializer_list<std::string_view> args) {
    std::string text;
    text.reserve(pattern.size() + 32);
    for (size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            const size_t n = static_cast<size_t>(pattern[i + 1] - '0');
            if (n >= 1 && n <= args.size()) {
                const std::string_view arg = *(args.begin() + (n - 1));
                text += arg;
                ++i;
                // A sentence put in before the pattern's own full stop ends once.
                if (!arg.empty() && arg.back() == '.' && i + 1 < pattern.size() && pattern[i + 1] == '.' &&
                    (i + 2 >= pattern.size() || pattern[i + 2] != '.'))
                    ++i;
                continue;
            }
        }
        text += c;
    }
    return text;
}
