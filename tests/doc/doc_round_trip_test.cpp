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

TEST_F(DocRoundTrip, EveryKindGivesBackTheSameItemsAndCountsTheActiveRecordsItWrote) {
    CNVItemArray items;
    items.Add(Item(10, -1, {1, 2, 3, 4}));
    AddArray(items, 20, {{0, Seq(3, 1)}, {1, Seq(3, 4)}, {2, Seq(3, 7)}, {3, Seq(3, 10)}});
    items.Add(Item(30, -1, Seq(128)));
    AddArray(items, 40, {{0, Seq(127, 2)}, {1, Seq(127, 3)}});
    items.Add(Item(50, -1, {0, 0, 0, 0, 0xFF}));
    items.Add(Item(60, -1, {0x42}));
    AddArray(items, 70, {{0, {7, 7, 7}}, {1, {8, 8, 8}}});  // element 2 not active
    SetItems(items);
    const CNVItemArray original = doc.Items();
    const int active = original.GetSize() - 1;  // Three [ 2 ] is held, never written

    // Every kind through the same two calls; a .qcn save takes the layout it is told.
    const struct {
        const char* file;
        CBackupFiles::ESaveLayout layout;
    } kinds[] = {{"1.brt", CBackupFiles::ESaveLayout::AsLoaded},  {"2.cnv", CBackupFiles::ESaveLayout::AsLoaded},
                 {"3.qcn", CBackupFiles::ESaveLayout::Tessiva},   {"5.qcn", CBackupFiles::ESaveLayout::Numbered},
                 {"6.xqcn", CBackupFiles::ESaveLayout::AsLoaded}, {"7.qcn", CBackupFiles::ESaveLayout::Tessiva}};
    for (const auto& kind : kinds) {
        SCOPED_TRACE(kind.file);
        // A selected save writes the selected active records and leaves the document's file.
        Select({10, 70});
        const SOutcome part = doc.SaveBackup(Path(std::string("part-") + kind.file), CTessivaDoc::EScope::SelectedActive,
                                             kind.layout);
        ASSERT_TRUE(part.IsCompleted()) << part.reason;
        EXPECT_EQ(part.records, 3);
        EXPECT_TRUE(doc.DocumentPath().empty() || doc.DocumentPath() != Path(std::string("part-") + kind.file));

        const SOutcome saved = doc.SaveBackup(Path(kind.file), CTessivaDoc::EScope::AllActive, kind.layout);
        ASSERT_TRUE(saved.IsCompleted()) << saved.reason;
        EXPECT_TRUE(saved.notes.empty());
        EXPECT_EQ(saved.records, active);
        EXPECT_EQ(doc.DocumentPath(), Path(kind.file));
        const SOutcome loaded = doc.LoadBackup(Path(kind.file));
        ASSERT_TRUE(loaded.IsCompleted()) << loaded.reason;
        EXPECT_TRUE(loaded.notes.empty());
        EXPECT_EQ(loaded.records, active);
        EXPECT_FALSE(doc.IsModified());
        EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Selected).GetCount(), 0);
        EXPECT_EQ(doc.Items(), original);
        EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Items).GetCount(), original.GetSize());  // every load lists what it loaded
        // Loads go by content: a misnamed copy loads the same (a BRT file, a bare count, has only its name).
        if (std::string(kind.file).find(".brt") != std::string::npos) continue;
        const std::string misnamed = std::string(kind.file) + ".dat";
        std::filesystem::copy_file(Path(kind.file), Path(misnamed));
        SetItems(CNVItemArray());
        ASSERT_TRUE(doc.LoadBackup(Path(misnamed)).IsCompleted());
        EXPECT_EQ(doc.Items(), original);
    }
    ASSERT_TRUE(doc.SaveBackup(Path("4.brt")).IsCompleted());
    EXPECT_EQ(ReadBytes(Path("4.brt")), ReadBytes(Path("1.brt")));
    EXPECT_TRUE(Told().empty());
    // A failure counts nothing and leaves the document in step with its file.
    for (const SOutcome& failed : {doc.LoadBackup(Path("none.txt")), doc.SaveBackup(Path("none.txt"))}) {
        EXPECT_TRUE(failed.IsFailed());
        EXPECT_FALSE(failed.reason.empty());
        EXPECT_EQ(failed.records, 0);
    }
    EXPECT_EQ(doc.DocumentPath(), Path("4.brt"));
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
    EXPECT_EQ(Told(), std::vector<std::string>{
        "NV Item ID = 7777 \n Is not defined in NVItemsDefine.def file\n So it can't be edit by Tessiva\nand 2 more"});
    // The fields of item 10 change; its last two bytes stay.
    const int at = doc.Items().FindById(10);
    ASSERT_TRUE(doc.SetValue(at, {9, 9, 9, 9}).IsCompleted());
    EXPECT_EQ(doc.Items()[at].Value(), Bytes({9, 9, 9, 9, 0, 2}));
    const CNVItemArray original = doc.Items();
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
        SetItems(original);
        const bool fits = std::string(kind.file).find(".brt") != std::string::npos ||
                          std::string(kind.file).find(".cnv") != std::string::npos;
        // 130 bytes fit no 128-byte record: the save says so rather than cutting them.
        if (!fits) {
            EXPECT_TRUE(doc.SaveBackup(Path(kind.file), CTessivaDoc::EScope::AllActive, kind.layout).IsFailed());
            EXPECT_TRUE(Told("NV Item ID = 65535"));
            CNVItemArray without = original;
            without.KeepIf([](const CNVItem& r) { return r.Id() != 65535; });
            SetItems(without);
        }
        const CNVItemArray saved = doc.Items();
        ASSERT_TRUE(doc.SaveBackup(Path(kind.file), CTessivaDoc::EScope::AllActive, kind.layout).IsCompleted());
        SetItems(CNVItemArray());
        ASSERT_TRUE(doc.LoadBackup(Path(kind.file)).IsCompleted());
        EXPECT_EQ(doc.Items(), saved);
    }
}

TEST_F(DocRoundTrip, CnvAndQcnKeepAGapInAnArrayThatBrtPacks) {
    CNVItemArray items;
    AddArray(items, 20, {{1, Seq(3, 4)}, {3, Seq(3, 10)}});
    SetItems(items);
    const CNVItemArray original = doc.Items();
    ASSERT_TRUE(doc.SaveBackup(Path("g.cnv")).IsCompleted());
    ASSERT_TRUE(doc.LoadBackup(Path("g.cnv")).IsCompleted());
    EXPECT_EQ(doc.Items(), original);
    ASSERT_TRUE(doc.SaveBackup(Path("g.qcn")).IsCompleted());
    ASSERT_TRUE(doc.LoadBackup(Path("g.qcn")).IsCompleted());
    EXPECT_EQ(doc.Items(), original);
    ASSERT_TRUE(doc.SaveBackup(Path("g.brt")).IsCompleted());
    ASSERT_TRUE(doc.LoadBackup(Path("g.brt")).IsCompleted());
    CNVItemArray packed;
    AddArray(packed, 20, {{0, Seq(3, 4)}, {1, Seq(3, 10)}});
    EXPECT_EQ(doc.Items(), packed);
}

TEST_F(DocRoundTrip, ItemListIsWrittenToTheChosenFile) {
    CNVItemArray items;
    items.Add(Item(10, -1, Seq(4)));
    AddArray(items, 70, {});
    SetItems(items);
    CFixedChooser chooser;
    EXPECT_FALSE(doc.WriteItemList(doc.Items()).IsCompleted());  // no chooser yet
    doc.SetFileChooser(&chooser);
    EXPECT_FALSE(doc.WriteItemList(doc.Items()).IsCompleted());  // cancelled
    EXPECT_EQ(chooser.asked.filterLabel, "BRT list files (*.csv)");
    EXPECT_EQ(chooser.asked.defaultExtension, "csv");
    EXPECT_EQ(chooser.asked.initialName, "*.csv");
    EXPECT_TRUE(chooser.asked.overwritePrompt);
    chooser.answer = Path("l.csv");
    ASSERT_TRUE(doc.WriteItemList(doc.Items()).IsCompleted());
    EXPECT_EQ(ReadFile(Path("l.csv")), "NV Item Name;NV ID\r\nPlain;10\r\nThree ;70");
    chooser.answer = Path("no/such/l.csv");
    EXPECT_FALSE(doc.WriteItemList(doc.Items()).IsCompleted());
    EXPECT_TRUE(Told("Can't write the file " + Path("no/such/l.csv")));
}
