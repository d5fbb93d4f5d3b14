// Names in the XML form: bounded, never echoed whole, and what is read is written back.
#include "files/xqcn_file.h"
#include "files/xqcn_value_filter.h"

#include <gtest/gtest.h>

namespace {
const std::string kHead = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n<Storage Name='f'>";

bool ReadText(const std::string& text, CCompoundNode& tree, std::string& error) {
    return CXqcnFile::ReadMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size(), tree, error);
}
}  // namespace

// Tabs and line breaks in a name come as character references and go back as such.
TEST(XqcnFile, NamesWithTabsAndLineBreaksAreWrittenBackAsRead) {
    const std::pair<const char*, std::string> cases[] = {
        {"a&#9;b", "a\tb"}, {"a&#10;b", "a\nb"}, {"a&#13;b", "a\rb"}, {"&#13;&#10;", "\r\n"}, {"&#x9;x&#9;", "\tx\t"},
    };
    for (const auto& [written, name] : cases) {
        CCompoundNode tree;
        std::string error;
        ASSERT_TRUE(ReadText(kHead + "<Stream Name='" + written + "' Length='1' Value='07'/></Storage>", tree, error))
            << written << ": " << error;
        ASSERT_EQ(tree.Children().size(), 1u);
        EXPECT_EQ(tree.Children()[0].Name(), name) << written;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(CXqcnFile::WriteMemory(tree, "f", bytes, error)) << written << ": " << error;
        CCompoundNode again;
        ASSERT_TRUE(CXqcnFile::ReadMemory(bytes.data(), bytes.size(), again, error)) << written << ": " << error;
        EXPECT_TRUE(again.SameContent(tree)) << written;
    }
}

// Over-long names, element names and text: refused on reading and on writing, with a
// message that stays short.
TEST(XqcnFile, LongNamesAndTextAreRefusedBriefly) {
    const std::string longest(CXqcnFile::kMaxName, 'n');
    const std::string tooLong(CXqcnFile::kMaxName + 1, 'n');
    const std::string endless(CXqcnValueFilter::kMaxMarkup + 1, 'e');
    const std::pair<std::string, const char*> reads[] = {
        {kHead + "<Storage Name='" + tooLong + "'/></Storage>", "a name of 4097 bytes"},
        {kHead + "<Stream Name='" + endless + "' Length='0' Value=''/></Storage>", "more than 64 KB"},
        {kHead + "<" + endless + " Name='x'/></Storage>", "malformed"},  // the XML reader's own bound
        {kHead + "<Storage Name='x'>" + endless + "</Storage></Storage>", "more than 64 KB"},
        {kHead + "<!--" + endless + "--></Storage>", "more than 64 KB"},
        {kHead + "<Storage Name='" + longest + "'/><Storage Name='" + longest + "'/></Storage>", "appears twice"},
        {kHead + "<Blob" + std::string(1000, 'b') + " Name='x'/></Storage>", "unknown element"},
    };
    for (const auto& [text, expected] : reads) {
        CCompoundNode tree;
        std::string error;
        EXPECT_FALSE(ReadText(text, tree, error)) << expected;
        EXPECT_NE(error.find(expected), std::string::npos) << expected << ": " << error.substr(0, 300);
        EXPECT_LT(error.size(), 300u) << expected;
    }
    CCompoundNode ok;
    std::string error;
    ASSERT_TRUE(ReadText(kHead + "<Storage Name='" + longest + "'/></Storage>", ok, error)) << error.substr(0, 300);

    for (const std::string& name : {tooLong, std::string("a\x01") + longest}) {
        CCompoundNode tree;
        tree.Append(CCompoundNode(name, true));
        std::vector<uint8_t> bytes;
        EXPECT_FALSE(CXqcnFile::WriteMemory(tree, "f", bytes, error));
        EXPECT_LT(error.size(), 300u) << error.substr(0, 300);
    }
}
