#include "model/nv_field.h"
#include "model/utf8_codec.h"

#include <gtest/gtest.h>
#include <random>

namespace {
using Bytes = std::vector<uint8_t>;

CNVField Make(const std::string& type) {
    CNVField f;
    f.SetType(type);
    return f;
}

CNVField WithBytes(const std::string& type, const Bytes& bytes) {
    CNVField f = Make(type);
    f.SetBytes(bytes.data());
    return f;
}

CNVField WithDec(const std::string& type, const std::string& text) {
    CNVField f = Make(type);
    f.SetDecText(text);
    return f;
}

CNVField WithHex(const std::string& type, const std::string& text) {
    CNVField f = Make(type);
    f.SetHexText(text);
    return f;
}

struct SRow {
    std::string type;
    Bytes bytes;
    std::string dec;
    std::string hex;
};

// One row per data-type word: the bytes, and the texts they show.
const SRow kRows[] = {
    {"boolean", {0x01}, "TRUE", "TRUE"},
    {"uint8", {0x0A}, "10", "A"},
    {"uint1", {0xFF}, "255", "FF"},
    {"byte", {0xC8}, "200", "C8"},
    {"uint16", {0x70, 0x11}, "4464", "1170"},
    {"word", {0xFF, 0xFF}, "65535", "FFFF"},
    {"uint2", {0x01, 0x00}, "1", "1"},
    {"uint32", {0xFF, 0xFF, 0xFF, 0xFF}, "4294967295", "FFFFFFFF"},
    {"dword", {0x78, 0x56, 0x34, 0x12}, "305419896", "12345678"},
    {"uint4", {0x00, 0x00, 0x00, 0x80}, "2147483648", "80000000"},
    {"uint64", Bytes(8, 0xFF), "18446744073709551615", "FFFFFFFFFFFFFFFF"},
    {"qword", {0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}, "81985529216486895", "123456789ABCDEF"},
    {"int8", {0xFF}, "-1", "FF"},
    {"int1", {0x80}, "-128", "80"},
    {"sint7", {0x7F}, "127", "7F"},
    {"int16", {0x00, 0x80}, "-32768", "8000"},
    {"int2", {0xF4, 0xFF}, "-12", "FFF4"},
    {"sint15", {0xFF, 0x7F}, "32767", "7FFF"},
    {"int32", {0xFF, 0xFF, 0xFF, 0xFF}, "-1", "FFFFFFFF"},
    {"int4", {0x00, 0x00, 0x00, 0x80}, "-2147483648", "80000000"},
    {"sint31", {0x2A, 0x00, 0x00, 0x00}, "42", "2A"},
    {"int64", Bytes(8, 0xFF), "-1", "FFFFFFFFFFFFFFFF"},
    {"string[4]", {'A', 'B', 'C', 'D'}, "ABCD", "ABCD"},
    {"utf16[4]", {'H', 0, 'i', 0, 0, 0, 0, 0}, "Hi", "Hi"},
    {"utf8[2]", {0xC3, 0xA9, '!', 0}, "\xE9!", "\xE9!"},
};

TEST(NVField, EveryDataTypeRoundTripsThroughBytesAndBothTexts) {
    for (const auto& row : kRows) {
        SCOPED_TRACE(row.type);
        const CNVField shown = WithBytes(row.type, row.bytes);
        EXPECT_EQ(shown.Size(), static_cast<int>(row.bytes.size()));
        EXPECT_EQ(shown.DecText(), row.dec);
        EXPECT_EQ(shown.HexText(), row.hex);
        EXPECT_EQ(shown.Bytes(), row.bytes);

        const CNVField fromDec = WithDec(row.type, row.dec);
        EXPECT_EQ(fromDec.Bytes(), row.bytes);
        EXPECT_EQ(fromDec.DecText(), row.dec);
        EXPECT_EQ(fromDec.HexText(), row.hex);

        const CNVField fromHex = WithHex(row.type, row.hex);
        EXPECT_EQ(fromHex.Bytes(), row.bytes);
        EXPECT_EQ(fromHex.DecText(), row.dec);
    }
}

TEST(NVField, SizesOfTypeTexts) {
    EXPECT_EQ(Make("string[16]").Size(), 16);
    EXPECT_EQ(Make("utf16[8]").Size(), 16);
    EXPECT_EQ(Make("utf8[32]").Size(), 64);
    EXPECT_EQ(Make("string[16]").TypeName(), "string");
    // Damaged lengths and unknown names give no size rather than a huge or negative one.
    EXPECT_EQ(Make("string[-3]").Size(), 0);
    EXPECT_EQ(Make("string[x]").Size(), 0);
    EXPECT_EQ(Make("string[99999999999]").Size(), CNVField::kMaxTextLength);
    EXPECT_EQ(Make("struct_t").Size(), 0);
    EXPECT_EQ(CNVField::DataTypeSize("sint31"), 4);
    EXPECT_EQ(CNVField::DataTypeSize("UINT8"), -1);
}

TEST(NVField, OutOfRangeDecimalKeepsLowBitsExceptTheByteRule) {
    EXPECT_EQ(WithDec("uint8", "300").Bytes(), Bytes{0x2C});
    EXPECT_EQ(WithDec("uint8", "300").DecText(), "44");
    EXPECT_EQ(WithDec("uint8", "300").HexText(), "2C");
    EXPECT_EQ(WithDec("byte", "300").Bytes(), Bytes{0x00});
    EXPECT_EQ(WithDec("byte", "300").HexText(), "0");
    EXPECT_EQ(WithDec("byte", "256").Bytes(), Bytes{0x00});
    EXPECT_EQ(WithDec("byte", "-1").Bytes(), Bytes{0xFF});
    EXPECT_EQ(WithDec("uint16", "70000").Bytes(), (Bytes{0x70, 0x11}));
    EXPECT_EQ(WithDec("uint16", "-5").DecText(), "65531");
    EXPECT_EQ(WithDec("uint32", "4294967297").DecText(), "1");
    EXPECT_EQ(WithDec("int64", "-9223372036854775808").HexText(), "8000000000000000");
    EXPECT_EQ(WithDec("qword", "18446744073709551615").HexText(), "FFFFFFFFFFFFFFFF");
    // A hexadecimal value wider than the field: 1FF is 255 for uint8 but 0 for byte.
    EXPECT_EQ(WithHex("uint8", "1FF").DecText(), "255");
    EXPECT_EQ(WithHex("byte", "1FF").DecText(), "0");
}

TEST(NVField, ScanfStyleReading) {
    EXPECT_EQ(WithDec("uint32", "  +12abc").DecText(), "12");
    EXPECT_EQ(WithDec("int32", "\t-7 8").DecText(), "-7");
    // No number: the field becomes zero.
    EXPECT_EQ(WithDec("uint32", "abc").DecText(), "0");
    EXPECT_EQ(WithDec("int8", "").DecText(), "0");
    EXPECT_EQ(WithDec("int8", "-").DecText(), "0");
    EXPECT_EQ(WithHex("uint32", "0x1F").DecText(), "31");
    EXPECT_EQ(WithHex("uint32", "1fz").DecText(), "31");
    EXPECT_EQ(WithHex("uint16", "-1").DecText(), "65535");
    EXPECT_EQ(WithHex("int8", "FF").DecText(), "-1");
    EXPECT_EQ(WithHex("int16", "8000").DecText(), "-32768");
    EXPECT_EQ(WithHex("int32", "FFFFFFFF").DecText(), "-1");
    EXPECT_EQ(WithHex("uint32", "FFFFFFFF").DecText(), "4294967295");
    EXPECT_EQ(WithHex("int64", "ffffffffffffffff").DecText(), "-1");
}

TEST(NVField, BooleanWords) {
    EXPECT_EQ(WithDec("boolean", "true").DecText(), "TRUE");
    EXPECT_EQ(WithDec("boolean", "1").DecText(), "TRUE");
    EXPECT_EQ(WithHex("boolean", "0").Bytes(), Bytes{0});
    EXPECT_EQ(WithHex("boolean", "yes").HexText(), "FALSE");
    EXPECT_EQ(WithHex("boolean", "True").Bytes(), Bytes{1});
    const CNVField any = WithBytes("boolean", {0x05});
    EXPECT_EQ(any.DecText(), "TRUE");
    EXPECT_EQ(any.Bytes(), Bytes{0x05});  // shown, never normalised
}

// What the editor refuses: texts that are no number of the field's type, or do not fit it.
TEST(NVField, EditTextsThatAreNoValueOfTheFieldAreRefusedWithTheRange) {
    struct SCase {
        const char* type;
        bool hex;
        const char* text;
        const char* hint;  // empty: taken
    } const cases[] = {
        {"uint8", false, "255", ""},
        {"uint8", false, "300", "from 0 to 255"},
        {"uint8", false, "-1", "from 0 to 255"},
        {"uint32", false, "abc", "from 0 to 4294967295"},
        {"uint32", false, "12abc", "from 0 to 4294967295"},
        {"uint32", false, "", "from 0 to 4294967295"},
        {"int8", false, " -128 ", ""},
        {"int16", false, "-32769", "from -32768 to 32767"},
        {"int64", false, "-9223372036854775808", ""},
        {"uint64", false, "18446744073709551616", "from 0 to 18446744073709551615"},
        {"uint16", true, "12345", "from 0 to FFFF"},
        {"uint16", true, "0xFFFF", ""},
        {"int16", true, "FFF4", ""},
        {"int8", true, "1FF", "from 0 to FF"},
        {"uint32", true, "1fz", "from 0 to FFFFFFFF"},
        {"boolean", false, "true", ""},
        {"boolean", true, "0", ""},
        {"boolean", false, "2", "TRUE, FALSE, 1 or 0"},
        {"string[4]", false, "ABCD", ""},
        {"string[4]", true, "ABCDE", "at most 4"},
        {"utf8[2]", false, "\xE9\xE9\xE9", "at most 4"},
    };
    for (const SCase& c : cases) {
        SCOPED_TRACE(std::string(c.type) + (c.hex ? " hex " : " dec ") + c.text);
        const CNVField f = Make(c.type);
        const std::string hint = c.hex ? f.HexTextRefusal(c.text) : f.DecTextRefusal(c.text);
        if (*c.hint == 0)
            EXPECT_EQ(hint, "");
        else
            EXPECT_NE(hint.find(c.hint), std::string::npos) << hint;
    }
}

TEST(NVField, TextFieldsCutAndPad) {
    EXPECT_EQ(WithDec("string[4]", "ABCDEF").Bytes(), (Bytes{'A', 'B', 'C', 'D'}));
    EXPECT_EQ(WithDec("string[4]", "AB").Bytes(), (Bytes{'A', 'B', 0, 0}));
    EXPECT_EQ(WithDec("utf16[4]", "Hi").Bytes(), (Bytes{0x48, 0, 0x69, 0, 0, 0, 0, 0}));
    EXPECT_EQ(WithDec("utf16[2]", "Hello").DecText(), "He");
    EXPECT_EQ(WithHex("string[3]", "x y").DecText(), "x y");
    // A zero byte ends the text; the bytes after it stay as they were.
    const CNVField s = WithBytes("string[4]", {'A', 0, 'Z', 'Z'});
    EXPECT_EQ(s.DecText(), "A");
    EXPECT_EQ(s.Bytes(), (Bytes{'A', 0, 'Z', 'Z'}));
    // Code units above 0xFF have no byte of their own.
    EXPECT_EQ(WithBytes("utf16[2]", {0xAC, 0x20, 'a', 0}).DecText(), "?a");
    EXPECT_EQ(WithDec("utf16[1]", "\xE9").Bytes(), (Bytes{0xE9, 0x00}));
}

TEST(NVField, Utf8FieldsEncodeWholeCharactersOnly) {
    EXPECT_EQ(WithDec("utf8[2]", "\xE9\xE9\xE9").Bytes(), (Bytes{0xC3, 0xA9, 0xC3, 0xA9}));
    EXPECT_EQ(WithDec("utf8[1]", "a\xE9").Bytes(), (Bytes{'a', 0}));
    EXPECT_EQ(WithDec("utf8[2]", "abcdef").Bytes(), (Bytes{'a', 'b', 'c', 'd'}));
    // Decoding: a character beyond 0xFF, ill-formed and cut-off sequences each show as '?'.
    EXPECT_EQ(WithBytes("utf8[3]", {0xE2, 0x82, 0xAC, 'x', 0, 0}).DecText(), "?x");
    EXPECT_EQ(WithBytes("utf8[2]", {0xF0, 0x9F, 0x98, 0x80}).DecText(), "??");
    EXPECT_EQ(WithBytes("utf8[2]", {0xFF, 'a', 0xC3, 0}).DecText(), "?a?");
    EXPECT_EQ(WithBytes("utf8[2]", {0xC0, 0xAF, 'b', 0}).DecText(), "??b");
}

TEST(Utf8Codec, MaximalSubpartsAndSurrogates) {
    const Bytes bad{0xE2, 0x82, 0x41, 0xED, 0xA0, 0x80};  // cut-off euro sign, encoded surrogate
    EXPECT_EQ(Utf8ToUtf16(bad.data(), bad.size(), 16), (std::vector<uint16_t>{0xFFFD, 0x41, 0xFFFD, 0xFFFD, 0xFFFD}));
    const std::vector<uint16_t> pair{0xD83D, 0xDE00, 0xDC00};
    EXPECT_EQ(Utf16ToUtf8(pair.data(), pair.size(), 16), (Bytes{0xF0, 0x9F, 0x98, 0x80, 0xEF, 0xBF, 0xBD}));
    EXPECT_EQ(Utf16ToUtf8(pair.data(), pair.size(), 6).size(), 4u);
}

TEST(NVField, DamagedTypeTextsAreSafe) {
    // A hand-edited catalogue may give a numeric type a length; nothing reads past the bytes.
    CNVField f = Make("uint64[1]");
    EXPECT_EQ(f.Size(), 2);
    f.SetDecText("65535");
    EXPECT_EQ(f.Bytes(), (Bytes{0xFF, 0xFF}));
    CNVField unknown = WithDec("struct_t", "5");
    EXPECT_EQ(unknown.Size(), 0);
    EXPECT_EQ(unknown.DecText(), "");
}
}  // namespace

namespace {
TEST(NVField, AnyNumericValueRoundTripsThroughBothTexts) {
    const char* const numeric[] = {"uint8", "uint1", "byte", "uint16", "word", "uint2", "uint32", "dword",
                                   "uint4", "uint64", "qword", "int8", "int1", "sint7", "int16", "int2",
                                   "sint15", "int32", "int4", "sint31", "int64"};
    std::mt19937_64 rng(3);
    for (const char* type : numeric) {
        for (int round = 0; round < 500; ++round) {
            Bytes bytes(static_cast<size_t>(CNVField::DataTypeSize(type)));
            const uint64_t v = rng() >> (rng() % 64);  // small and large magnitudes
            for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(v >> (8 * i));
            const CNVField shown = WithBytes(type, bytes);
            ASSERT_EQ(WithDec(type, shown.DecText()).Bytes(), bytes) << type << " " << shown.DecText();
            ASSERT_EQ(WithHex(type, shown.HexText()).Bytes(), bytes) << type << " " << shown.HexText();
        }
    }
}
}  // namespace
