#include "model/nv_define_reader.h"
#include "test_support.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {
const char* const kStopQuestion =
    "If you stop reading of NVItemsDefine.def file Tessiva will be closed.\n"
    "Do you want to stop reading of this file?";

CNVItemArray Array441() {
    CNVItemArray list;
    CNVItem entry;
    entry.SetId(441);
    list.Add(entry);
    list.Add(entry);
    list.Add(entry);
    return list;
}

class DefineReaderTest : public ::testing::Test {
protected:
    // Reads the definition text through the job; true when it completed.
    bool Read(const std::string& text, CNVItemArray& out) {
        WriteFile(dir + "/NVItemsDefine.def", text);
        return reader.StartReadDefinitions(dir + "/NVItemsDefine.def", out).IsCompleted();
    }
    CNVItemArray ReadOk(const std::string& text) {
        CNVItemArray out;
        EXPECT_TRUE(Read(text, out));
        return out;
    }
    // The notes the reader left for the operation's owner to tell, taken.
    std::vector<std::string> Notes() {
        std::vector<std::string> texts;
        for (const SNote& n : t.jobs.TakeNotes()) texts.push_back(n.text);
        return texts;
    }

    STestJobs t;
    std::string dir = MakeTempDir("defs");
    CNVDefineReader reader{t.jobs};
};

TEST_F(DefineReaderTest, PlainAndArrayLines) {
    const CNVItemArray a = ReadOk(" NV_BAND_PREF_I ;441; nvm/num/441 ; CDMA ;4; uint32 \n"
                                  "NV_X;10;f;g;8[3];nv_x_type\n"
                                  "NV_Y;11;f;g;8[3];uint16\n"
                                  "NV_Z;12;f;g;4[a];uint8\n"
                                  "NV_W;13;f;g;0x10;dword\n");
    ASSERT_EQ(a.GetSize(), 1 + 3 + 3 + 10 + 1);
    const CNVItem& band = a[0];
    EXPECT_EQ(band.Name(), "NV_BAND_PREF_I");
    EXPECT_EQ(band.Id(), 441);
    EXPECT_EQ(band.FileName(), "nvm/num/441");
    EXPECT_EQ(band.Group(), "CDMA");
    EXPECT_EQ(band.TypeName(), "uint32");
    EXPECT_EQ(band.Size(), 4);
    EXPECT_EQ(band.Count(), 0);
    EXPECT_EQ(band.Index(), -1);
    EXPECT_EQ(band.Active(), 0);
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(a[1 + k].Id(), 10);
        EXPECT_EQ(a[1 + k].Size(), 7);  // one less for a catalogue type
        EXPECT_EQ(a[1 + k].Count(), 3);
        EXPECT_EQ(a[1 + k].Index(), k);
        EXPECT_EQ(a[4 + k].Size(), 8);
    }
    EXPECT_EQ(a[7].Count(), 10);
    EXPECT_EQ(a[7].Size(), 4);
    EXPECT_EQ(a[17].Size(), 16);
}

TEST_F(DefineReaderTest, SeparatorsLineEndsAndComments) {
    const std::string lf = "A;1;f;g;1;uint8\n#B;2;f;g;1;uint8\n #C;3;f;g;1;uint8\n;;D;;4;;f;g;;1;uint8;extra\n";
    const CNVItemArray fromLf = ReadOk(lf);
    ASSERT_EQ(fromLf.GetSize(), 3);
    EXPECT_EQ(fromLf[1].Name(), "#C");
    EXPECT_EQ(fromLf[2].Name(), "D");
    EXPECT_EQ(fromLf[2].TypeName(), "uint8");

    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    EXPECT_EQ(ReadOk(crlf), fromLf);
    EXPECT_EQ(ReadOk(lf.substr(0, lf.size() - 1)), fromLf);  // no line feed at the end

    // A line far over 1023 bytes is one line.
    const std::string name(3000, 'N');
    const CNVItemArray longLine = ReadOk(name + ";5;f;g;2;uint16\n");
    ASSERT_EQ(longLine.GetSize(), 1);
    EXPECT_EQ(longLine[0].Name(), name);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(DefineReaderTest, UnusableLinesAreLeftOutWithOneMessage) {
    const CNVItemArray a = ReadOk("A;1;f;g;1;uint8\n"
                                  "short;2;f\n"
                                  "noid;x;f;g;1;uint8\n"
                                  "big;65536;f;g;1;uint8\n"
                                  "neg;-1;f;g;1;uint8\n"
                                  "\n"
                                  "huge;6;f;g;ffffffff;uint8\n"
                                  "lte;6828;f;g;1;uint8\n"
                                  "last;65535;f;g;;1;uint8\n");
    ASSERT_EQ(a.GetSize(), 3);
    EXPECT_EQ(a[2].Id(), 65535);
    const auto messages = Notes();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_THAT(messages[0], HasSubstr("5 line(s)"));
    EXPECT_THAT(messages[0], HasSubstr("line 2"));
}

// No format carries an element over 128 bytes or an array over 256 elements: such a line
// would only cost memory, so it is left out and named by its number.
TEST_F(DefineReaderTest, OversizedLinesAreLeftOutByLineNumber) {
    const CNVItemArray a = ReadOk("NV_HUGE_I;5;/nv/huge;Grp;10000[10000];uint8\n"
                                  "edge;1;f;g;80[100];uint8\n"        // 128 bytes, 256 elements
                                  "edgeT;2;f;g;81;t\n"                // a catalogue type: 129 - 1
                                  "wide;3;f;g;81;uint8\n"
                                  "wideT;4;f;g;82[2];t\n"
                                  "long;6;f;g;1[101];uint8\n");
    ASSERT_EQ(a.GetSize(), 256 + 1);
    EXPECT_EQ(a[0].Size(), 128);
    EXPECT_EQ(a[256].Size(), 128);
    const auto notes = Notes();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_THAT(notes[0], HasSubstr("4 line(s)"));
    EXPECT_THAT(notes[0], HasSubstr("line 1, line 4, line 5, line 6."));

    // A line that would pass the bound of the whole file adds nothing.
    CNVItemArray out;
    EXPECT_FALSE(CNVDefineReader::ParseDefinitionLine("A;1;f;g;1[3];uint8", out, 2));
    EXPECT_TRUE(CNVDefineReader::ParseDefinitionLine("A;1;f;g;1[3];uint8", out, 3));
    EXPECT_EQ(out.GetSize(), 3);
}

TEST_F(DefineReaderTest, SampleDefinitionsLoadWhole) {
    CNVItemArray out;
    ASSERT_TRUE(reader.StartReadDefinitions(std::string(TESSIVA_SOURCE_DIR) + "/examples/NVItemsDefine.def", out).IsCompleted());
    EXPECT_GT(out.GetSize(), 200);
    EXPECT_TRUE(Notes().empty());
}

TEST_F(DefineReaderTest, StopConfirmation) {
    // Long enough that Cancel is always pressed before the job's first stop check.
    t.jobs.SetStartPause(std::chrono::milliseconds(50));
    t.frontend.cancelAtStart = true;
    t.frontend.answers = {false};
    EXPECT_EQ(ReadOk("A;1;f;g;1;uint8\nB;2;f;g;1;uint8\n").GetSize(), 2);
    EXPECT_THAT(t.frontend.Questions(), ElementsAre(kStopQuestion));

    t.frontend.answers = {true};
    CNVItemArray out;
    EXPECT_FALSE(Read("A;1;f;g;1;uint8\nB;2;f;g;1;uint8\n", out));
    EXPECT_LT(out.GetSize(), 2);
    t.jobs.SetStartPause(std::chrono::milliseconds(1));

    t.frontend.cancelAtStart = false;
    const SOutcome missing = reader.StartReadDefinitions(dir + "/missing.def", out);
    EXPECT_TRUE(missing.IsFailed());
    // The old first line, then the path and the reason.
    EXPECT_EQ(missing.reason, "Can't open a file\n" + dir + "/missing.def: No such file or directory");
}

TEST_F(DefineReaderTest, BuildItemsFromListResolvesIdsAndReportsUndefinedOnes) {
    CNVItemArray defs = ReadOk("X;10;fx;gx;8[3];nv_x_type\nB;441;fb;gb;4;uint32\n");
    defs.SortById();
    WriteFile(dir + "/list.csv", "NV Item Name;NV ID\nB;441\nU;77\n#c;1\nX;10\nV;65535\nW;70000\n");
    CNVItemArray out;
    out.Add(CNVItem());
    t.frontend.ClearRecords();
    ASSERT_TRUE(reader.StartBuildItemsFromList(dir + "/list.csv", defs, out).IsCompleted());
    EXPECT_THAT(t.frontend.captions, ElementsAre("Loading list NV Items for uploading", "Creating Data Base by NV List"));
    ASSERT_EQ(out.GetSize(), 2);
    EXPECT_EQ(out[0].Id(), 441);
    EXPECT_EQ(out[0].Name(), "B");
    EXPECT_EQ(out[0].Size(), 4);
    EXPECT_EQ(out[1].Id(), 10);
    EXPECT_EQ(out[1].Count(), 3);  // an array item stays one entry
    EXPECT_EQ(out[1].Index(), -1);
    EXPECT_EQ(out[1].Size(), 7);
    EXPECT_EQ(out[1].TypeName(), "nv_x_type");
    const auto messages = Notes();
    ASSERT_EQ(messages.size(), 3u);
    EXPECT_THAT(messages[0], HasSubstr("outside 0..65535"));  // 70000, left out by the list reader
    EXPECT_EQ(messages[1], "NV ITEM 77 is not defined in NVItemsDefine.def file.");
    EXPECT_EQ(messages[2], "NV ITEM 65535 is not defined in NVItemsDefine.def file.");

    // A stop while resolving ends the job without a question and leaves the output as it was.
    CNVItemArray list = Array441();
    reader.m_target = &list;
    reader.m_defs = &defs;
    reader.m_out = &out;
    t.jobs.SetStartPause(std::chrono::milliseconds(50));
    t.frontend.cancelAtStart = true;
    EXPECT_TRUE(t.jobs.Run("resolve", [this] { return reader.BuildItemsFromList(); }).IsStopped());
    t.jobs.SetStartPause(std::chrono::milliseconds(1));
    EXPECT_EQ(out.GetSize(), 2);
    EXPECT_EQ(out[0].Id(), 441);
    EXPECT_TRUE(t.frontend.Questions().empty());
}
}  // namespace
