#include "model/nv_type_catalog.h"
#include "files/nv_types_file.h"
#include "test_support.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {
const char* const kReadQuestion =
    "If you stop reading of NVTypesDefine.def file Tessiva will return to old version of NV Types.\n"
    "Do you want to stop reading of this file?";
const char* const kConvertQuestion =
    "If you stop NV Types converting Tessiva will return to old version of NV Types.\n"
    "Do you want to stop NV Types converting?";

class TypeCatalogTest : public ::testing::Test {
protected:
    TypeCatalogTest() { catalog.SetDirectory(dir); }

    // Imports the definition text; returns the import's result.
    bool Import(const std::string& text) {
        WriteFile(dir + "/NVTypesDefine.def", text);
        return catalog.ImportDefinitionFile(dir + "/NVTypesDefine.def");
    }
    std::string TypeFile() const { return ReadFile(dir + "/NVTypes.typ"); }
    // What the front end would tell of the last import: the notes left for it, then the reason.
    std::vector<std::string> Told() {
        std::vector<std::string> texts;
        for (const SNote& n : t.jobs.TakeNotes()) texts.push_back(n.text);
        if (!catalog.LastImport().reason.empty()) texts.push_back(catalog.LastImport().reason);
        return texts;
    }
    // NVTypes.typ for lines, each ended by CR LF, with the END line.
    static std::string Typ(const std::vector<std::string>& lines) {
        std::string text;
        for (const auto& l : lines) text += l + "\r\n";
        return text + "END;\r\n";
    }

    STestJobs t;
    std::string dir = MakeTempDir("types");
    CNVTypesFile typeFile;
    CNVTypeCatalog catalog{t.jobs, &typeFile};
};

TEST_F(TypeCatalogTest, ConvertsTheExampleTable) {
    ASSERT_TRUE(Import("A;uint8 v;uint16 t[3];\n"
                       "B;string label[16];utf16 w[4];\n"
                       "C;A hdr;int32 x;\n"
                       "D;A arr[2];\n"
                       "E;Q q;uint8 z;\n"));
    EXPECT_EQ(TypeFile(),
              Typ({"A;uint8 v;uint16 t{0};uint16 t{1};uint16 t{2};", "B;string label{16};utf16 w{4};",
                   "C;uint8 hdr.v;uint16 hdr.t{0};uint16 hdr.t{1};uint16 hdr.t{2};int32 x;",
                   "D;uint8 arr{0}.v;uint16 arr{0}.t{0};uint16 arr{0}.t{1};uint16 arr{0}.t{2};uint8 arr{1}.v;uint16 "
                   "arr{1}.t{0};uint16 arr{1}.t{1};uint16 arr{1}.t{2};",
                   "E;Bad Parametr"}));
    EXPECT_THAT(t.frontend.captions, ElementsAre("Reading of NVTypesDefine.def file", "Converting NV Types"));
    EXPECT_TRUE(Told().empty());  // an unknown field type is not reported

    // The imported catalogue is in force at once and equals the one loaded from the file.
    ASSERT_TRUE(catalog.SelectType("C"));
    EXPECT_EQ(catalog.FieldCount(), 5);
    EXPECT_EQ(catalog.RecordSize(), 11);
    EXPECT_EQ(catalog.FieldDisplayName(1), "hdr.t[0]");
    const std::string imported = catalog.Definition("D");
    ASSERT_TRUE(catalog.LoadTypeFile().IsCompleted());
    EXPECT_EQ(catalog.Definition("D"), imported);
    ASSERT_TRUE(catalog.SelectType("E"));
    EXPECT_EQ(catalog.FieldCount(), 0);
    EXPECT_EQ(catalog.RecordSize(), 0);
}

TEST_F(TypeCatalogTest, LinesCommentsDuplicatesAndArrayForms) {
    // CR LF lines, a comment, an empty line, a duplicate name, a type used before its
    // definition, counts of 0 and below, two bracket pairs, a text field of length 0.
    ASSERT_TRUE(Import("# comment;uint8 x;\r\n"
                       "U;P p;\r\n"
                       "\r\n"
                       "P;uint8 a[0];uint8 b[-2];uint8 m[2][3];string s[0];\r\n"
                       "P;uint32 other;\r\n"));
    EXPECT_EQ(TypeFile(), Typ({"U;uint8 p.m{0};uint8 p.m{1};string p.s{0};", ";",
                               "P;uint8 m{0};uint8 m{1};string s{0};", "P;uint8 m{0};uint8 m{1};string s{0};"}));
    EXPECT_THAT(catalog.TypeNames(), ElementsAre("U", "", "P", "P"));
    ASSERT_TRUE(catalog.SelectType("P"));
    EXPECT_EQ(catalog.RecordSize(), 2);
}

TEST_F(TypeCatalogTest, TextLengthInsideCompoundArraysComesFromTheLastBracePair) {
    ASSERT_TRUE(Import("D;B arr[2];\nB;string label[16];\n"));
    EXPECT_EQ(catalog.Definition("D"), "string arr{0}.label{16};string arr{1}.label{16};");
    ASSERT_TRUE(catalog.SelectType("D"));
    EXPECT_EQ(catalog.RecordSize(), 32);
    EXPECT_EQ(catalog.Field(1).Size(), 16);
    EXPECT_EQ(catalog.FieldDisplayName(1), "arr[1].label[16]");
}

TEST_F(TypeCatalogTest, SelfContainingTypesBecomeBadWithoutHanging) {
    ASSERT_TRUE(Import("A;uint8 a;B b;\n"
                       "B;C c[2];\n"
                       "C;A a;\n"
                       "S;uint8 x;S s;\n"
                       "W;uint16 w;A a;\n"
                       "OK;uint8 fine;\n"));
    for (const char* bad : {"A", "B", "C", "S", "W"}) EXPECT_EQ(catalog.Definition(bad), "Bad Parametr") << bad;
    EXPECT_EQ(catalog.Definition("OK"), "uint8 fine;");
    const auto messages = Told();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], HasSubstr("S (contains itself)"));
    EXPECT_THAT(messages[0], HasSubstr("A (contains itself)"));
    EXPECT_THAT(messages[0], HasSubstr("W (contains A)"));
}

TEST_F(TypeCatalogTest, ATypeContainingABadTypeIsBadInEitherOrder) {
    // A dropped member would shift every later field of the layout.
    ASSERT_TRUE(Import("F;E e;uint8 y;\nE;Q q;uint8 z;\nG;E e;uint8 y;\nOK;uint8 o;\n"));
    EXPECT_EQ(catalog.Definition("F"), "Bad Parametr");
    EXPECT_EQ(catalog.Definition("G"), "Bad Parametr");
}

TEST_F(TypeCatalogTest, ImpossibleArraysBecomeBad) {
    ASSERT_TRUE(Import("N;uint8 n[x];\nH;uint8 h[100000000];\nT;H h;\nOK;uint8 o[2];\n"));
    EXPECT_EQ(catalog.Definition("N"), "Bad Parametr");
    EXPECT_EQ(catalog.Definition("H"), "Bad Parametr");
    EXPECT_EQ(catalog.Definition("T"), "Bad Parametr");
    EXPECT_EQ(catalog.Definition("OK"), "uint8 o{0};uint8 o{1};");
    const auto told = Told();
    ASSERT_EQ(told.size(), 1u);
    EXPECT_THAT(told[0], HasSubstr("N (an array count is not a number)"));
    EXPECT_THAT(told[0], HasSubstr("H (too many fields)"));
}

TEST_F(TypeCatalogTest, RefusedImportsKeepTheOldCatalogue) {
    ASSERT_TRUE(Import("OLD;uint8 x;\n"));
    const std::string oldFile = TypeFile();

    std::string many;
    for (int i = 0; i < CNVTypeCatalog::kMaxTypes + 1; ++i) many += "T" + std::to_string(i) + ";uint8 x;\n";
    EXPECT_FALSE(Import(many));
    EXPECT_THAT(Told().back(), HasSubstr("more than 4999 NV types"));

    EXPECT_FALSE(Import("A;uint8 a;\nEND;uint8 e;\n"));
    EXPECT_THAT(Told().back(), HasSubstr("Line 2"));

    EXPECT_FALSE(catalog.ImportDefinitionFile(dir + "/missing.def"));
    EXPECT_EQ(Told().back(), "Can't open a file\n" + dir + "/missing.def: No such file or directory");

    EXPECT_EQ(TypeFile(), oldFile);
    EXPECT_TRUE(catalog.IsTypeName("OLD"));
    EXPECT_FALSE(catalog.IsTypeName("A"));
}

TEST_F(TypeCatalogTest, UnwritableTypeFileFailsTheImport) {
    ASSERT_TRUE(Import("OLD;uint8 x;\n"));
    std::filesystem::remove(dir + "/NVTypes.typ");
    std::filesystem::create_directory(dir + "/NVTypes.typ");  // nothing can be renamed over it
    EXPECT_FALSE(Import("NEW;uint8 y;\n"));
    EXPECT_THAT(Told().back(), HasSubstr("Can't write NVTypes.typ file."));
    EXPECT_FALSE(std::filesystem::exists(dir + "/NVTypes.typ.tmp"));
    EXPECT_TRUE(catalog.IsTypeName("OLD"));
    EXPECT_FALSE(catalog.IsTypeName("NEW"));

    catalog.SetDirectory(dir + "/no/such/folder");
    EXPECT_FALSE(Import("NEW;uint8 y;\n"));
    EXPECT_THAT(Told().back(), HasSubstr("Can't write NVTypes.typ file."));
}

TEST_F(TypeCatalogTest, StopInEitherJob) {
    const std::string text = "A;uint8 a;\nB;A b[2];\nC;uint16 c;\n";
    ASSERT_TRUE(Import("OLD;uint8 x;\n"));
    const std::string oldFile = TypeFile();
    t.frontend.cancelAtStart = true;
    // Long enough that Cancel is always pressed before the job's first stop check.
    t.jobs.SetStartPause(std::chrono::milliseconds(50));

    t.frontend.answers = {false, false};  // No to both questions: the import goes on
    EXPECT_TRUE(Import(text));
    EXPECT_THAT(t.frontend.Questions(), ElementsAre(kReadQuestion, kConvertQuestion));
    EXPECT_EQ(catalog.Definition("B"), "uint8 b{0}.a;uint8 b{1}.a;");
    WriteFile(dir + "/NVTypes.typ", oldFile);
    ASSERT_TRUE(catalog.LoadTypeFile().IsCompleted());

    for (const auto& answers : {std::deque<bool>{true}, std::deque<bool>{false, true}}) {
        t.frontend.ClearRecords();
        t.frontend.answers = answers;
        EXPECT_FALSE(Import(text));
        EXPECT_EQ(t.frontend.Questions().size(), answers.size());
        EXPECT_EQ(TypeFile(), oldFile);
        EXPECT_TRUE(catalog.IsTypeName("OLD"));
        EXPECT_FALSE(catalog.IsTypeName("B"));
    }
    t.jobs.SetStartPause(std::chrono::milliseconds(1));
}

TEST_F(TypeCatalogTest, LoadingTheTypeFile) {
    const SOutcome missing = catalog.LoadTypeFile();
    EXPECT_TRUE(missing.IsFailed());
    EXPECT_EQ(missing.reason,
              "Can't open NVTypes.typ file.\n" + catalog.TypeFilePath() + ": No such file or directory");

    // Whole long lines, no END line, LF only.
    std::string longDef;
    for (int i = 0; i < 3000; ++i) longDef += "uint8 f{" + std::to_string(i) + "};";
    ASSERT_GT(longDef.size(), 10000u);
    WriteFile(dir + "/NVTypes.typ", "L;" + longDef + "\nX;uint16 x;\n");
    ASSERT_TRUE(catalog.LoadTypeFile().IsCompleted());
    ASSERT_TRUE(catalog.SelectType("L"));
    EXPECT_EQ(catalog.FieldCount(), 3000);
    EXPECT_TRUE(catalog.IsTypeName("X"));

    // Nothing after END; is read.
    WriteFile(dir + "/NVTypes.typ", Typ({"A;uint8 a;"}) + "B;uint8 b;\r\n");
    ASSERT_TRUE(catalog.LoadTypeFile().IsCompleted());
    EXPECT_TRUE(catalog.IsTypeName("A"));
    EXPECT_FALSE(catalog.IsTypeName("B"));
    EXPECT_FALSE(catalog.IsTypeName("END"));
    EXPECT_FALSE(catalog.SelectType("L"));
    EXPECT_EQ(CNVTypeCatalog::UnknownTypeMessage("L"), "ERROR NVType\nL\nNot defined in NVTypesDefine.def file!");
}

TEST_F(TypeCatalogTest, RecordBytesSplitIntoFieldsAndJoinBack) {
    WriteFile(dir + "/NVTypes.typ",
              Typ({"R;boolean on;int16 t;string name{3};uint32 n;utf16 w{1};"}));
    ASSERT_TRUE(catalog.LoadTypeFile().IsCompleted());
    ASSERT_TRUE(catalog.SelectType("R"));
    ASSERT_EQ(catalog.RecordSize(), 1 + 2 + 3 + 4 + 2);
    const std::vector<uint8_t> value{0x07, 0xFE, 0xFF, 'a', 0, 'q', 1, 0, 0, 0, 0x41, 0x20};
    catalog.SetRecordBytes(value.data());
    EXPECT_EQ(catalog.GetRecordBytes(), value);  // giving bytes never rebuilds them
    EXPECT_EQ(catalog.Field(1).DecText(), "-2");
    EXPECT_EQ(catalog.Field(2).DecText(), "a");

    catalog.Field(3).SetHexText("ABCD");
    std::vector<uint8_t> edited = value;
    edited[6] = 0xCD;
    edited[7] = 0xAB;
    EXPECT_EQ(catalog.GetRecordBytes(), edited);

    // A short item value reads as zero-filled instead of running past its end.
    catalog.SetRecordBytes(value.data(), 2);
    EXPECT_EQ(catalog.GetRecordBytes(), (std::vector<uint8_t>{0x07, 0xFE, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_THROW(catalog.Field(5), std::invalid_argument);
}

TEST(DefinitionText, FieldOperations) {
    const std::string def = "uint8 a;A b c;nofield;";
    EXPECT_EQ(CNVTypeCatalog::CountFields(def), 3);
    EXPECT_EQ(CNVTypeCatalog::CountFields(";uint8 a;"), 1);  // a leading ";" ends no field
    EXPECT_EQ(CNVTypeCatalog::GetFieldText(def, 2), "A b c");
    EXPECT_EQ(CNVTypeCatalog::GetFieldText(def, 4), "");
    EXPECT_EQ(CNVTypeCatalog::GetFieldText("x;tail", 2), "");
    EXPECT_EQ(CNVTypeCatalog::FieldTypeOf(def, 2), "A");
    EXPECT_EQ(CNVTypeCatalog::FieldNameOf(def, 2), "b c");
    EXPECT_EQ(CNVTypeCatalog::FieldTypeOf(def, 3), "");
    EXPECT_EQ(CNVTypeCatalog::FieldNameOf(def, 3), "nofield");
}
}  // namespace

namespace {
// Random fragments of the definition grammar: whatever they form, the import ends, and
// every type it wrote can be selected and filled.
TEST_F(TypeCatalogTest, GarbageDefinitionsNeverBreakTheImport) {
    const char* const pieces[] = {";", " ", "[", "]", "{", "}", "uint8", "string", "utf8", "T1", "T2", "T3",
                                  "x", "2", "-1", "99999", "#", "\n", "\r\n", "END", "", "int64", "utf16"};
    std::mt19937 rng(1);
    for (int round = 0; round < 200; ++round) {
        std::string text;
        for (int k = 0; k < 60; ++k) text += pieces[rng() % std::size(pieces)];
        if (!Import(text)) continue;  // e.g. a type named END
        for (const auto& name : catalog.TypeNames()) {
            if (!catalog.SelectType(name)) continue;
            const std::vector<uint8_t> bytes(static_cast<size_t>(catalog.RecordSize()), 0xC3);
            catalog.SetRecordBytes(bytes.data());
            ASSERT_EQ(catalog.GetRecordBytes(), bytes) << text;
            for (int i = 0; i < catalog.FieldCount(); ++i) catalog.Field(i).SetHexText("-1");
            EXPECT_EQ(static_cast<int>(catalog.GetRecordBytes().size()), catalog.RecordSize());
        }
    }
}
}  // namespace
