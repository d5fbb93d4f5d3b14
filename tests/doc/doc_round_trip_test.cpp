#include "doc_files_fixture.h"

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
    const CNVItemArray original = doc.Items();

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
        EXPECT_EQ(doc.Items(), original);
        EXPECT_EQ(doc.AllEntries().GetCount(), original.GetSize());  // every load lists what it loaded
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
    EXPECT_TRUE(frontend.Messages().empty());
    EXPECT_TRUE(doc.LoadBackup(Path("none.txt")).IsFailed());
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
    EXPECT_FALSE(doc.WriteItemList(doc.Items()));  // no chooser yet
    doc.SetFileChooser(&chooser);
    EXPECT_FALSE(doc.WriteItemList(doc.Items()));  // cancelled
    EXPECT_EQ(chooser.asked.filterLabel, "BRT list files (*.csv)");
    EXPECT_EQ(chooser.asked.defaultExtension, "csv");
    EXPECT_EQ(chooser.asked.initialName, "*.csv");
    EXPECT_TRUE(chooser.asked.overwritePrompt);
    chooser.answer = Path("l.csv");
    ASSERT_TRUE(doc.WriteItemList(doc.Items()));
    EXPECT_EQ(ReadFile(Path("l.csv")), "NV Item Name;NV ID\r\nPlain;10\r\nThree ;70");
    chooser.answer = Path("no/such/l.csv");
    EXPECT_FALSE(doc.WriteItemList(doc.Items()));
    EXPECT_TRUE(HasMessage("Can't write the file " + Path("no/such/l.csv")));
}
