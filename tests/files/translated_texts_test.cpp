#include "files/brt_file.h"
#include "phone/diag_commands.h"
#include "model/nv_field.h"
#include "jobs/text_translation.h"

#include <gtest/gtest.h>

#include <functional>

namespace {
// Marks what went through the translator: its context first, each marker in brackets, so a
// text built before translating or translated under another context shows.
std::string MarkingTranslator(const char* context, const char* source) {
    std::string text = std::string("[") + context + "] ";
    for (const char* p = source; *p; ++p) {
        if (p[0] == '%' && p[1] >= '1' && p[1] <= '9') {
            text += std::string("<%") + p[1] + ">";
            ++p;
        } else {
            text += *p;
        }
    }
    return text;
}

std::string BrtCountError() {
    const uint8_t bytes[4] = {5, 0, 0, 0};
    CBrtFile file;
    file.SetMaxRecords(3);
    file.OpenMemory(bytes, sizeof bytes);
    uint32_t n = 0;
    EXPECT_FALSE(file.ReadCount(n));
    return file.Error();
}

std::string Uint8Refusal() {
    CNVField field;
    field.SetType("uint8");
    return field.DecTextRefusal("300");
}
}  // namespace

// The layers below the window translate their reasons whole, with the values filled in
// after translating, and texts kept in tables reach the translator too.
TEST(TranslatedTextsTest, LayersTranslatePatternsBeforeFillingThem) {
    struct Case {
        const char* what;
        std::function<std::string()> text;
        const char* expected;
    };
    const Case cases[] = {
        {"file reason", BrtCountError,
         "[CBrtFile] The file promises <5> records, but its <4> bytes can hold at most <0>."},
        {"status table", [] { return NvStatusText(7); }, "[DiagCommands] read only (7)"},
        {"value hint", Uint8Refusal, "[CNVField] Enter a whole number from <0> to <255>."},
    };
    SetTextTranslator(MarkingTranslator);
    for (const Case& c : cases) EXPECT_EQ(c.text(), c.expected) << c.what;
    SetTextTranslator(nullptr);
}
