#include "model/crc16.h"
#include "doc_files_fixture.h"

namespace {
using DocCnv = DocFiles;

Bytes CnvFile(std::initializer_list<Bytes> records) {
    Bytes file = {0x43, 0x4E, 0x56, 0x2A, 0x01, 0x00, 0xFF, 0xFF};
    for (const auto& r : records) file.insert(file.end(), r.begin(), r.end());
    for (int b : {0xFF, 0xFF, 0x02, 0x00}) file.push_back(static_cast<uint8_t>(b));
    const uint16_t crc = Crc16(file.data(), file.size());
    file.push_back(static_cast<uint8_t>(crc >> 8));
    file.push_back(static_cast<uint8_t>(crc & 0xFF));
    return file;
}
// An element record of a 3-byte array item: ID, L = 4, the index byte, the value.
Bytes Element(int id, int index, const Bytes& v) {
    Bytes r = {static_cast<uint8_t>(id), 0, 4, 0, static_cast<uint8_t>(index)};
    r.insert(r.end(), v.begin(), v.end());
    return r;
}
}  // namespace

TEST_F(DocCnv, SaveWritesPaddedPlainRecordsAndElementRecordsWithTheirIndex) {
    CNVItemArray items;
    items.Add(Item(50, -1, Seq(5)));
    AddArray(items, 70, {{0, {1, 2, 3}}, {2, {7, 8, 9}}});
    items.Add(Item(10, -1, Seq(4), 0));
    SetItems(items);
    ASSERT_TRUE(doc.SaveBackup(Path("a.cnv")).IsCompleted());
    EXPECT_EQ(ReadBytes(Path("a.cnv")), CnvFile({{50, 0, 5, 0, 1, 2, 3, 4, 5, 0xFF, 0xFF, 0xFF},
                                                 Element(70, 0, {1, 2, 3}), Element(70, 2, {7, 8, 9})}));

    Select({50});
    ASSERT_EQ(doc.Entries(CTessivaDoc::ETree::Selected).GetCount(), 1);
    ASSERT_TRUE(doc.LoadBackup(Path("a.cnv")).IsCompleted());
    CNVItemArray want;
    want.Add(Item(50, -1, Seq(5)));
    AddArray(want, 70, {{0, {1, 2, 3}}, {2, {7, 8, 9}}});  // each element at its own index
    EXPECT_EQ(doc.Items(), want);
    // The "NV Items" tree lists every loaded record, "Selected NV Items" none.
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Items).GetCount(), doc.Items().GetSize());
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Selected).GetCount(), 0);
}

TEST_F(DocCnv, LoadCompletesArraysWhateverElementsTheFileHolds) {
    struct SCase {
        std::vector<int> stored;  // indexes stored in the file, in file order
    };
    for (const auto& c : std::vector<SCase>{{{0, 1}}, {{0, 2}}, {{1, 2}}, {{2, 0}}, {{}}, {{3}}}) {
        Bytes records = {0x43, 0x4E, 0x56, 0x2A, 0x01, 0x00, 0xFF, 0xFF};
        CNVItemArray want;
        std::vector<std::pair<int, Bytes>> values;
        Bytes body;
        for (int k : c.stored) {
            const Bytes v = {static_cast<uint8_t>(k + 1), 0x55, static_cast<uint8_t>(k + 0x10)};
            const Bytes e = Element(20, k, v);
            body.insert(body.end(), e.begin(), e.end());
            values.emplace_back(k, v);
        }
        const Bytes plain = {10, 0, 4, 0, 9, 9, 9, 9};
        body.insert(body.end(), plain.begin(), plain.end());
        WriteFile(Path("a.cnv"), AsString(CnvFile({body})));
        if (!values.empty()) AddArray(want, 20, values);  // an item absent from the file gets no records
        want.Add(Item(10, -1, {9, 9, 9, 9}));
        want.SortById();
        ASSERT_TRUE(doc.LoadBackup(Path("a.cnv")).IsCompleted());
        EXPECT_EQ(doc.Items(), want) << "stored " << c.stored.size();
        EXPECT_TRUE(Told().empty());
    }
}

TEST_F(DocCnv, ChecksumFailureShowsTheErrorBoxAndLoadsNothing) {
    CNVItemArray items;
    items.Add(Item(10, -1, Seq(4)));
    SetItems(items);
    ASSERT_TRUE(doc.SaveBackup(Path("a.cnv")).IsCompleted());
    Bytes bytes = ReadBytes(Path("a.cnv"));
    bytes[9] ^= 0x40;
    WriteFile(Path("a.cnv"), AsString(bytes));
    frontend.ClearRecords();
    const int cancelEnabledBefore = frontend.cancelEnabledCount.load();
    EXPECT_FALSE(doc.LoadBackup(Path("a.cnv")).IsCompleted());
    EXPECT_EQ(doc.Items().GetSize(), 1);  // the document as it was
    EXPECT_EQ(Told(),
              (std::vector<std::string>{"Wrong data in CNV File.\nNV Items can't be loaded from this file."}));
    EXPECT_EQ(frontend.cancelEnabledCount.load(), cancelEnabledBefore);  // Cancel stays dead until the checksum is good

    // A good checksum over a record that runs past the end marker.
    WriteFile(Path("b.cnv"), AsString(CnvFile({{10, 0, 0x20, 0, 1, 2, 3, 4}})));
    frontend.ClearRecords();
    EXPECT_FALSE(doc.LoadBackup(Path("b.cnv")).IsCompleted());
    EXPECT_EQ(doc.Items().GetSize(), 1);
    ASSERT_EQ(Told().size(), 1u);
    EXPECT_NE(Told()[0].find("run past the end marker"), std::string::npos);
}

TEST_F(DocCnv, SavesWithNothingActiveWriteNoFileOfAnyKind) {
    CNVItemArray items;
    items.Add(Item(10, -1, Seq(4), 0));
    for (const CNVItemArray& list : {CNVItemArray(), items}) {
        SetItems(list);
        for (const char* name : {"none.cnv", "none.brt", "none.qcn"}) {
            frontend.ClearRecords();
            EXPECT_TRUE(doc.SaveBackup(Path(name)).IsFailed()) << name;
            EXPECT_FALSE(std::ifstream(Path(name)).good()) << name;
            EXPECT_EQ(Told(), std::vector<std::string>{"There are no items to save."});
            EXPECT_TRUE(frontend.captions.empty());
        }
    }
}

TEST_F(DocCnv, StoppedSaveKeepsThePreviousFileAndBadIndexesAreRefused) {
    CNVItemArray items;
    for (int id : {10, 30, 50}) items.Add(Item(id, -1, Seq(4)));
    SetItems(items);
    WriteFile(Path("a.cnv"), "old");
    frontend.answers = {true};
    frontend.cancelAtPosition = 2;
    EXPECT_FALSE(doc.SaveBackup(Path("a.cnv")).IsCompleted());
    EXPECT_EQ(frontend.Questions(),
              (std::vector<std::string>{"Are you sure you want to stop saving NV Items to CNV File?"}));
    EXPECT_EQ(ReadFile(Path("a.cnv")), "old");

    items.RemoveAll();
    items.Add(Item(80, 260, {1}));  // one index byte can't tell element 260 from element 4
    SetItems(items);
    EXPECT_FALSE(doc.SaveBackup(Path("a.cnv")).IsCompleted());
    EXPECT_TRUE(Told("NV Item ID = 80 (Many [ 260 ]), element 260:\nelement index 260 can't be stored"));
    EXPECT_EQ(ReadFile(Path("a.cnv")), "old");
}

TEST_F(DocCnv, UndefinedIdIsReportedOnceAndKeptWithTheRest) {
    WriteFile(Path("u.cnv"), AsString(CnvFile({{99, 0, 1, 0, 5, 0xFF, 0xFF, 0xFF}, {99, 0, 1, 0, 6, 0xFF, 0xFF, 0xFF},
                                               {10, 0, 4, 0, 1, 2, 3, 4}})));
    ASSERT_TRUE(doc.LoadBackup(Path("u.cnv")).IsCompleted());
    EXPECT_EQ(Told(), std::vector<std::string>{"NV Item ID = 99 \n Is not defined in NVItemsDefine.def "
                                               "file\n So it can't be edit by Tessiva\nand 1 more"});
    ASSERT_EQ(doc.Items().GetSize(), 3);
    EXPECT_EQ(doc.Items()[0], Item(10, -1, {1, 2, 3, 4}));
    EXPECT_EQ(doc.Items()[1].Value(), Bytes{5});
    EXPECT_EQ(doc.Items()[2].Value(), Bytes{6});  // a repeat keeps its own place
}
