#include "doc_files_fixture.h"

namespace {
using DocBrt = DocFiles;
}

TEST_F(DocBrt, SaveAllActiveWritesActiveRecordsAndLoadCompletesThemFromTheDefinitions) {
    CNVItemArray items;
    items.Add(Item(10, -1, {1, 2, 3, 4}));
    AddArray(items, 20, {{0, {0xA0, 0xA1, 0xA2}}, {2, {0xC0, 0xC1, 0xC2}}});
    items.Add(Item(50, -1, Seq(5), 0));  // not active: not stored
    SetItems(items);
    ASSERT_TRUE(doc.SaveBackup(Path("a.brt")).IsCompleted());

    Bytes expected;
    PutU32(expected, 2);
    PutU32(expected, 10);
    PutU32(expected, 128);
    PutPadded(expected, {1, 2, 3, 4}, 128);
    PutU32(expected, 20);
    PutU32(expected, 256);
    PutPadded(expected, {0xA0, 0xA1, 0xA2}, 128);
    PutPadded(expected, {0xC0, 0xC1, 0xC2}, 128);
    EXPECT_EQ(ReadBytes(Path("a.brt")), expected);
    ASSERT_TRUE(doc.LoadBackup(Path("a.brt")).IsCompleted());
    // The elements were packed: old element 2 comes back as element 1.
    CNVItemArray want;
    want.Add(Item(10, -1, {1, 2, 3, 4}));
    AddArray(want, 20, {{0, {0xA0, 0xA1, 0xA2}}, {1, {0xC0, 0xC1, 0xC2}}});
    EXPECT_EQ(doc.Items(), want);
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Items).GetCount(), doc.Items().GetSize());
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Selected).GetCount(), 0);
    EXPECT_EQ(frontend.captions, (std::vector<std::string>{"Storing NV Items in BRT file", "Loading NV Items from BRT file",
                                                           "Filling up information about NV Items"}));
}

TEST_F(DocBrt, OneStoredElementIsShiftedAndLargestValuesSurvive) {
    CNVItemArray items;
    AddArray(items, 70, {{1, {7, 8, 9}}});
    items.Add(Item(30, -1, Seq(128)));                  // a full slot
    AddArray(items, 40, {{0, Seq(127, 50)}, {1, Seq(127, 60)}});  // the largest element
    SetItems(items);
    ASSERT_TRUE(doc.SaveBackup(Path("a.brt")).IsCompleted());
    const Bytes file = ReadBytes(Path("a.brt"));
    // Record of item 70: one slot starting with a zero byte.
    const size_t at70 = 4 + (8 + 128) + (8 + 256);
    ASSERT_GE(file.size(), at70 + 8 + 4);
    EXPECT_EQ(file[at70], 70);
    EXPECT_EQ((Bytes(file.begin() + at70 + 8, file.begin() + at70 + 12)), (Bytes{0, 7, 8, 9}));

    ASSERT_TRUE(doc.LoadBackup(Path("a.brt")).IsCompleted());
    CNVItemArray want;
    want.Add(Item(30, -1, Seq(128)));
    AddArray(want, 40, {{0, Seq(127, 50)}, {1, Seq(127, 60)}});
    AddArray(want, 70, {{0, {7, 8, 9}}});
    EXPECT_EQ(doc.Items(), want);
}

TEST_F(DocBrt, SelectedAndActiveSavesOnlyTheSelectedItems) {
    CNVItemArray items;
    items.Add(Item(10, -1, {1, 2, 3, 4}));
    items.Add(Item(50, -1, Seq(5)));
    AddArray(items, 70, {{0, {1, 1, 1}}, {1, {2, 2, 2}}, {2, {3, 3, 3}}});
    SetItems(items);
    Select({70, 50});
    ASSERT_TRUE(doc.SaveBackup(Path("s.brt"), CTessivaDoc::EScope::SelectedActive).IsCompleted());
    ASSERT_TRUE(doc.LoadBackup(Path("s.brt")).IsCompleted());
    ASSERT_EQ(doc.Items().GetSize(), 4);
    EXPECT_EQ(doc.Items()[0].Id(), 50);
    EXPECT_EQ(doc.Items()[3], Item(70, 2, {3, 3, 3}));
}

TEST_F(DocBrt, UndefinedIdsAreReportedAndKept) {
    Bytes file;
    PutU32(file, 2);
    PutU32(file, 99);
    PutU32(file, 128);
    PutPadded(file, {1}, 128);
    PutU32(file, 10);
    PutU32(file, 128);
    PutPadded(file, {1, 2, 3, 4, 5, 6}, 128);  // longer than the definition: kept up to its last non-zero byte
    WriteFile(Path("u.brt"), AsString(file));
    ASSERT_TRUE(doc.LoadBackup(Path("u.brt")).IsCompleted());
    EXPECT_EQ(Told(),
              (std::vector<std::string>{
                  "NV Item ID = 99 \n Is not defined in NVItemsDefine.def file\n So it can't be edit by Tessiva"}));
    ASSERT_EQ(doc.Items().GetSize(), 2);
    EXPECT_EQ(doc.Items()[0], Item(10, -1, {1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(doc.Items()[1].Group(), "Undefined items");
    EXPECT_EQ(doc.Items()[1].Value(), Bytes{1});
}

TEST_F(DocBrt, ValuesTooLongForTheirSlotAreRefusedByNameAndNothingIsWritten) {
    WriteFile(Path("a.brt"), "old");
    CNVItemArray items;
    items.Add(Item(30, -1, Seq(129)));
    SetItems(items);
    EXPECT_FALSE(doc.SaveBackup(Path("a.brt")).IsCompleted());
    EXPECT_TRUE(Told("NV Item ID = 30 (Big):\nits value of 129 bytes does not fit"));
    EXPECT_EQ(ReadFile(Path("a.brt")), "old");

    items.RemoveAll();
    AddArray(items, 40, {{0, Seq(128)}});  // an element holds at most 127 bytes
    SetItems(items);
    EXPECT_FALSE(doc.SaveBackup(Path("a.brt")).IsCompleted());
    EXPECT_TRUE(Told("NV Item ID = 40 (ArrBig [ 0 ]), element 0"));
    EXPECT_EQ(ReadFile(Path("a.brt")), "old");

    // A record the definitions don't know is kept raw over as many slots as it needs, beside
    // a defined one that fits its slot.
    CNVItem undefined;
    undefined.SetId(99);
    undefined.SetActive(CNVItem::kActive);
    undefined.SetValue(Seq(200));
    items.RemoveAll();
    items.Add(Item(30, -1, Seq(128)));
    items.Add(undefined);
    SetItems(items);
    ASSERT_TRUE(doc.SaveBackup(Path("a.brt")).IsCompleted());
    ASSERT_TRUE(doc.LoadBackup(Path("a.brt")).IsCompleted());
    ASSERT_EQ(doc.Items().GetSize(), 2);
    EXPECT_EQ(doc.Items()[1].Id(), 99);
    EXPECT_EQ(doc.Items()[1].Value(), Seq(200));
}

TEST_F(DocBrt, StoppedOrFailedSaveKeepsThePreviousFile) {
    CNVItemArray items;
    for (int id : {10, 30, 50}) items.Add(Item(id, -1, Seq(4)));
    SetItems(items);
    WriteFile(Path("a.brt"), "old");
    frontend.answers = {true};
    frontend.cancelAtPosition = 1;
    EXPECT_FALSE(doc.SaveBackup(Path("a.brt")).IsCompleted());
    EXPECT_EQ(frontend.Questions(),
              (std::vector<std::string>{"Are you sure you want to stop saving NV Items to BRT File?\n"}));
    EXPECT_EQ(ReadFile(Path("a.brt")), "old");

    frontend.answers = {false};
    frontend.cancelAtPosition = 1;
    EXPECT_TRUE(doc.SaveBackup(Path("a.brt")).IsCompleted());  // No: the save goes on
    const size_t size = ReadBytes(Path("a.brt")).size();
    EXPECT_EQ(size, 4u + 3 * 136);

    for (int id = 0; id < 2000; ++id) items.Add(Item(10, -1, Seq(4)));  // a file of about 272 KB
    SetItems(items);
    {
        CFileSizeLimit limit(100000);
        EXPECT_FALSE(doc.SaveBackup(Path("a.brt")).IsCompleted());
    }
    EXPECT_TRUE(Told("Can't write the file " + Path("a.brt")));
    EXPECT_EQ(ReadBytes(Path("a.brt")).size(), size);
    EXPECT_FALSE(doc.SaveBackup(Path("no/such/folder/a.brt")).IsCompleted());
}

TEST_F(DocBrt, StoppedLoadOrFillUpAndDamagedFilesLeaveTheDocumentAsItWas) {
    CNVItemArray items;
    for (int id : {10, 30, 50}) items.Add(Item(id, -1, Seq(4)));
    SetItems(items);
    ASSERT_TRUE(doc.SaveBackup(Path("a.brt")).IsCompleted());

    frontend.answers = {true};
    frontend.cancelAtPosition = 1;
    EXPECT_FALSE(doc.LoadBackup(Path("a.brt")).IsCompleted());
    EXPECT_EQ(frontend.Questions().back(), "Are you sure you want to stop loading NV Items from BRT File?");
    EXPECT_TRUE(doc.LastOutcome().IsStopped());
    const CNVItemArray before = doc.Items();
    EXPECT_EQ(before.GetSize(), 3);

    frontend.answers = {true};
    frontend.stopInCaption = "Filling up information about NV Items";
    EXPECT_FALSE(doc.LoadBackup(Path("a.brt")).IsCompleted());
    EXPECT_EQ(frontend.Questions().back(),
              "Are you sure you want to stop filling up information about NV Items.\n All NV Items will be removed "
              "from memory on PC side!");
    EXPECT_EQ(doc.Items(), before);

    const Bytes good = ReadBytes(Path("a.brt"));
    for (size_t length : {size_t{0}, size_t{3}, size_t{4}, size_t{50}, good.size() - 1}) {
        WriteFile(Path("cut.brt"), AsString(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(length))));
        SetItems(items);
        frontend.ClearRecords();
        EXPECT_FALSE(doc.LoadBackup(Path("cut.brt")).IsCompleted()) << length;
        EXPECT_TRUE(doc.LastOutcome().IsFailed());
        EXPECT_EQ(doc.Items(), before);
        ASSERT_EQ(Told().size(), 1u);
        EXPECT_EQ(Told()[0].rfind("Wrong data in BRT File.\n", 0), 0u) << Told()[0];
    }
    EXPECT_FALSE(doc.LoadBackup(Path("missing.brt")).IsCompleted());
    EXPECT_TRUE(Told("Can't open the file\n" + Path("missing.brt") + ": "));
}
