#include "jobs/text_translation.h"

#include <gtest/gtest.h>

TEST(FillTextTest, PutsArgumentsInPlaceOfTheirMarkers) {
    struct Case {
        const char* pattern;
        std::initializer_list<std::string_view> args;
        const char* expected;
    };
    const Case cases[] = {
        {"Can't open %1.", {"a.cnv"}, "Can't open a.cnv."},
        {"%2 of %1", {"10", "3"}, "3 of 10"},                    // a translation may reorder
        {"%1 and %1", {"x"}, "x and x"},                          // a marker may repeat
        {"100%", {}, "100%"},                                      // a lone % stays
        {"%3 left", {"a"}, "%3 left"},                            // no such argument: kept
        {"%1", {"50%1 off"}, "50%1 off"},                         // arguments are not re-read
        {"Failed: %1.", {"Port p went away."}, "Failed: Port p went away."},  // one full stop
        {"Wait %1...", {"a."}, "Wait a...."},                     // dots that are no full stop stay
    };
    for (const Case& c : cases) EXPECT_EQ(FillText(c.pattern, c.args), c.expected) << c.pattern;
}

TEST(FillTextTest, TranslatorSeesContextAndSourceAndCanBeRemoved) {
    SetTextTranslator([](const char* context, const char* source) {
        return std::string(context) + ":" + source;
    });
    EXPECT_EQ(TrText("Doc", "Hello"), "Doc:Hello");
    SetTextTranslator(nullptr);
    EXPECT_EQ(TrText("Doc", "Hello"), "Hello");
}
