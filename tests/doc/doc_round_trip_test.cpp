#include "doc_files_fixture.h"

#include "files/cnv_file.h"

#include <filesystem>

namespace {
using DocRoundTrip = DocFiles;

class CFixedChooser : public IFileChooser {
public:
    bool ChooseOpenFile(const SFileDialogRequest&, std::string&) override { return false; }
    bool ChooseSaveFile(const SFileDialogRequest& request, std::string& path) override {
        asked = request;
        path = answer;
        return !answer.empty();
    }
    std::string answer;
    SFileDialogRequest asked;
};
}  // namespace

TEST_F(DocRoundTrip, EveryKindGivesBackTheSameItems) {
    CNVItemArray items;
    items.Add(Item(10, -1, {1, 2, 3, 4}));
    AddArray(items, 20, {{0, Seq(3, 1)}, {1, Seq(3, 4)}, {2, Seq(3, 7)}, {3, Seq(3, 10)}});
    items.Add(Item(30, -1, Seq(128)));
    AddArray(items, 40, {{0, Seq(127, 2)}, {1, Seq(127, 3)}});
    items.Add(Item(50, -1, {0, 0, 0, 0, 0xFF}));
    items.Add(Item(60, -1, {0x42}));
    AddArray(items, 70, {{0, {7, 7, 7}}, {1, {8, 8, 8}}});  // element 2 not active
    SetItems(items);
    const CNVItemArray original = doc.m_items;

    // Every kind through the same two calls; a .qcn save takes the layout it is told.
    const struct {
        const char* file;
        CBackupFiles::ESaveLayout layout;
    } kinds[] = {{"1.brt", CBackupFiles::ESaveLayout::AsLoaded},  {"2.cnv", CBackupFiles::ESaveLayout::AsLoaded},
                 {"3.qcn", CBackupFiles::ESaveLayout::Tessiva},   {"5.qcn", CBackupFiles::ESaveLayout::Numbered},
                 {"6.xqcn", CBackupFiles::ESaveLayout::AsLoaded}, {"7.qcn", CBackupFiles::ESaveLayout::Tessiva}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.file);
        ASSERT_TRUE(doc.SaveBackup(Path(kind.file), false, kind.layout).IsCompleted());
        ASSERT_TRUE(doc.LoadBackup(Path(kind.file)).IsCompleted());
        EXPECT_EQ(doc.m_items, original);
        EXPECT_EQ(doc.m_allEntries.GetCount(), original.GetSize());  // every load lists what it loaded
        // Loads go by content: a misnamed copy loads the same (a BRT file, a bare count, has only its name).
        if (std::string(kind.file).find(".brt") != std::string::npos) continue;
        const std::string misnamed = std::string(kind.file) + ".dat";
        std::filesystem::copy_file(Path(kind.file), Path(misnamed));
        SetItems(CNVItemArray());
        ASSERT_TRUE(doc.LoadBackup(Path(misnamed)).IsCompleted());
        EXPECT_EQ(doc.m_items, original);
    }
    ASSERT_EQ(doc.SaveAllActiveToBrt(Path("4.brt")), 1);
    EXPECT_EQ(ReadBytes(Path("4.brt")), ReadBytes(Path("1.brt")));
    EXPECT_TRUE(frontend.Messages().empty());
    EXPECT_TRUE(doc.LoadBackup(Path("none.txt")).IsFailed());
}

// Records no definition names and bytes a value carries past its definition are the user's
// data: every kind keeps them, also after another field of the record was edited.
TEST_F(DocRoundTrip, UndefinedRecordsAndBytesPastTheDefinitionSurviveEveryKind) {
    CCnvFile cnv;
    ASSERT_TRUE(cnv.Create(Path("in.cnv")));
    const Bytes plain = {1, 2, 3, 4, 0, 2}, element = {7, 7, 7, 9}, undefined = Seq(130, 1);
    for (const auto& [id, value, index] : std::vector<std::tuple<int, Bytes, int>>{
             {10, plain, -1}, {20, element, 0}, {7777, {0, 5}, -1}, {7777, {6}, -1}, {65535, undefined, -1}})
        ASSERT_TRUE(cnv.WriteRecord(static_cast<uint16_t>(id), value, index));
    ASSERT_TRUE(cnv.Finish());
    ASSERT_TRUE(doc.LoadBackup(Path("in.cnv")).IsCompleted());
    EXPECT_EQ(frontend.Messages(), std::vector<std::string>{
        "NV Item ID = 7777 \n Is not defined in NVItemsDefine.def file\n So it can't be edit by Tessiva\nand 2 more"});
    // The fields of item 10 change; its last two bytes stay.
    const int at = doc.m_items.FindById(10);
    ASSERT_TRUE(doc.SetItemValue(at, {9, 9, 9, 9}));
    EXPECT_EQ(doc.m_items[at].Value(), Bytes({9, 9, 9, 9, 0, 2}));
    const CNVItemArray original = doc.m_items;
    auto valueOf = [&](int id, int index) {
        for (const CNVItem& r : original)
            if (r.Id() == id && r.Index() == index) return r.Value();
        return Bytes();
    };
    EXPECT_EQ(valueOf(20, 0), element);
    EXPECT_EQ(valueOf(7777, 0), Bytes({0, 5}));
    EXPECT_EQ(valueOf(7777, 1), Bytes({6}));
    EXPECT_EQ(valueOf(65535, 0), undefined);

    const struct {
        const char* file;
        CBackupFiles::ESaveLayout layout;
    } kinds[] = {{"1.cnv", CBackupFiles::ESaveLayout::AsLoaded}, {"2.brt", CBackupFiles::ESaveLayout::AsLoaded},
                 {"3.qcn", CBackupFiles::ESaveLayout::Tessiva}, {"4.qcn", CBackupFiles::ESaveLayout::Numbered},
                 {"5.xqcn", CBackupFiles::ESaveLayout::AsLoaded}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.file);
        doc.ReplaceItems(original);
        frontend.ClearRecords();
        const bool fits = std::string(kind.file).find(".brt") != std::string::npos ||
                          std::string(kind.file).find(".cnv") != std::string::npos;
        // 130 bytes fit no 128-byte record: the save says so rather than cutting them.
        if (!fits) {
            EXPECT_TRUE(doc.SaveBackup(Path(kind.file), false, kind.layout).IsFailed());
            EXPECT_TRUE(HasMessage("NV Item ID = 65535"));
            CNVItemArray without = original;
            without.KeepIf([](const CNVItem& r) { return r.Id() != 65535; });
            doc.ReplaceItems(without);
        }
        const CNVItemArray saved = doc.m_items;
        ASSERT_TRUE(doc.SaveBackup(Path(kind.file), false, kind.layout).IsCompleted());
        SetItems(CNVItemArray());
        ASSERT_TRUE(doc.LoadBackup(Path(kind.file)).IsCompleted());
        EXPECT_EQ(doc.m_items, saved);
    }
}

TEST_F(DocRoundTrip, CnvAndQcnKeepAGapInAnArrayThatBrtPacks) {
    CNVItemArray items;
    AddArray(items, 20, {{1, Seq(3, 4)}, {3, Seq(3, 10)}});
    SetItems(items);
    const CNVItemArray original = doc.m_items;
    ASSERT_EQ(doc.SaveAllActiveToCnv(Path("g.cnv")), 1);
    ASSERT_EQ(doc.StartLoadCnv(Path("g.cnv")), 1);
    EXPECT_EQ(doc.m_items, original);
    ASSERT_TRUE(doc.SaveAllActiveToQcn(Path("g.qcn")));
    ASSERT_TRUE(doc.LoadQcn(Path("g.qcn")));
    EXPECT_EQ(doc.m_items, original);
    ASSERT_EQ(doc.SaveAllActiveToBrt(Path("g.brt")), 1);
    ASSERT_EQ(doc.StartLoadBrt(Path("g.brt")), 1);
    CNVItemArray packed;
    AddArray(packed, 20, {{0, Seq(3, 4)}, {1, Seq(3, 10)}});
    EXPECT_EQ(doc.m_items, packed);
}

TEST_F(DocRoundTrip, ItemListIsWrittenToTheChosenFile) {
    CNVItemArray items;
    items.Add(Item(10, -1, Seq(4)));
    AddArray(items, 70, {});
    SetItems(items);
    CFixedChooser chooser;
    EXPECT_FALSE(doc.WriteItemList(doc.m_items));  // no chooser yet
    doc.SetFileChooser(&chooser);
    EXPECT_FALSE(doc.WriteItemList(doc.m_items));  // cancelled
    EXPECT_EQ(chooser.asked.filterLabel, "BRT list files (*.csv)");
    EXPECT_EQ(chooser.asked.defaultExtension, "csv");
    EXPECT_EQ(chooser.asked.initialName, "*.csv");
    EXPECT_TRUE(chooser.asked.overwritePrompt);
    chooser.answer = Path("l.csv");
    ASSERT_TRUE(doc.WriteItemList(doc.m_items));
    EXPECT_EQ(ReadFile(Path("l.csv")), "NV Item Name;NV ID\r\nPlain;10\r\nThree ;70");
    chooser.answer = Path("no/such/l.csv");
    EXPECT_FALSE(doc.WriteItemList(doc.m_items));
    EXPECT_TRUE(HasMessage("Can't write the file " + Path("no/such/l.csv")));
}
