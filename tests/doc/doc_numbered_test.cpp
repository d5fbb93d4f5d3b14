// Numbered-items backups through the document: what becomes an item, what is kept aside,
// and that a save puts back every byte it did not change.
#include "files/backup_tree.h"
#include "files/compound_file.h"
#include "doc_files_fixture.h"
#include "files/xqcn_file.h"

namespace {
using DocNumbered = DocFiles;
using ESaveLayout = CBackupFiles::ESaveLayout;
const char* const kItems = "00000000/default/NV_NUMBERED_ITEMS/";

Bytes Record(uint32_t id, const Bytes& data, uint16_t length = 136) {
    Bytes r;
    PutU16(r, length);
    PutU16(r, 1);
    PutU32(r, id);
    PutPadded(r, data, 128);
    return r;
}

Bytes Records(std::initializer_list<Bytes> records) {
    Bytes out;
    for (const auto& r : records) out.insert(out.end(), r.begin(), r.end());
    return out;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A file as other tools write it, over the fixture's definitions: item 10 with bytes past
// its 4, array 20 with elements 2 and 0, an item no definition names (5000), records kept
// aside (ID 70000, element 9 of a 4-element array), subscription 1 and an empty subscription 2, item files
// in all three areas, and streams Tessiva doesn't know.
CCompoundNode FieldTree() {
    CCompoundNode root;
    root.Stream("File_Version").SetBytes({2, 0, 0, 0, 0, 0});
    CCompoundNode& def = root.Storage("00000000").Storage("default");
    def.Stream("Mobile_Property_Info").SetBytes({0x10, 0x27, 0, 0, 0x55, 0, 3, 'A', 'B', 'C'});
    def.Stream("Feature_Mask").SetBytes({3, 0, 0xF0, 0x0F, 0xAA});
    Bytes plain = {1, 2, 3, 4};
    plain.resize(100, 0);
    plain.push_back(0xEE);
    CCompoundNode& items = def.Storage("NV_NUMBERED_ITEMS");
    items.Stream("NV_ITEM_ARRAY")
        .SetBytes(Records({Record(10, plain), Record(20, {2, 7, 8, 9}), Record(70000, {0xDE, 0xAD}),
                           Record(20, {0, 1, 1, 1}), Record(5000, {7}), Record(20, {9, 5, 5, 5})}));
    items.Stream("NV_ITEM_ARRAY_SIM_1").SetBytes(Records({Record(10, {5, 6, 7, 8}), Record(70, {1, 4, 4, 4})}));
    items.Stream("NV_ITEM_ARRAY_SIM_2");
    auto area = [&](const std::string& name, const Bytes& dir, const Bytes& data) {
        CCompoundNode& a = def.Storage(name);
        a.Storage("EFS_Dir").Stream("00000000").SetBytes(dir);
        a.Storage("EFS_Data").Stream("00000000").SetBytes(data);
    };
    area("NV_Items", Text("/nv/item_files/modem/mmode/lte_bandpref"), {0xFF, 0, 0, 0});
    area("Provisioning_Item_Files", Text(std::string("/nv/item_files/ims/IMS_enable") + '\0'), {1});
    area("EFS_Backup", Bytes{1, 0, 1, 1, 0xB6, 0x81, 0, 0, '/', 'p'}, {});
    def.Stream("Vendor_Extra").SetBytes({9, 9});
    return root;
}

CCompoundNode ReadTree(const std::string& path) {
    CCompoundNode tree;
    EBackupForm form{};
    std::string error;
    EXPECT_TRUE(ReadBackupTree(path, tree, form, error)) << error;
    return tree;
}
}  // namespace

TEST_F(DocNumbered, LoadsKeepsAsideAndSavesBackEveryByte) {
    std::string error;
    ASSERT_TRUE(CCompoundFile::Write(Path("a.qcn"), FieldTree(), error)) << error;
    ASSERT_TRUE(doc.LoadBackup(Path("a.qcn")).IsCompleted());

    std::vector<std::string> seen;
    for (const auto& r : doc.Items())
        if (r.Active() == CNVItem::kActive) seen.push_back(std::to_string(r.Subscription()) + " " + r.Name() + " / " + r.Group());
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(seen, (std::vector<std::string>{"0 Arr [ 0 ] / GroupA", "0 Arr [ 2 ] / GroupA",
                                              "0 NV Item 5000 / Undefined items", "0 Plain / GroupA",
                                              "1 Subscription 1: Plain / Subscription 1: GroupA",
                                              "1 Subscription 1: Three [ 1 ] / Subscription 1: GroupC"}));
    // Missing elements are filled in, in their own subscription.
    EXPECT_EQ(doc.Items().GetSize(), 6 + 2 + 2);
    // Item 10 keeps its bytes up to the last one that is not zero.
    for (const auto& r : doc.Items()) {
        if (r.Id() == 10 && r.Subscription() == 0) {
            EXPECT_EQ(r.Size(), 101);
        }
    }
    const CNumberedState& state = doc.Numbered();
    EXPECT_EQ(state.Origin(), EBackupOrigin::Numbered);
    EXPECT_EQ(state.KeptAside().size(), 2u);
    EXPECT_EQ(state.ItemFiles().size(), 3u);
    ASSERT_EQ(Told().size(), 2u);  // one for the undefined items, one for every record kept aside
    EXPECT_TRUE(Told("NV Item ID = 5000 \n Is not defined"));
    EXPECT_TRUE(Told("2 records of items that NVItemsDefine.def does not define"));

    // A subscription's record chosen before a rebuild is chosen again, not the default one
    // of the same ID.
    for (const CNVItem& r : doc.Items()) {
        if (r.Id() == 10 && r.Subscription() == 1) {
            ASSERT_TRUE(doc.MoveEntries(CTessivaDoc::ETree::Items, r.Group(), {r.Name()}).IsCompleted());
        }
    }
    const CNVItem array = doc.Items()[doc.Items().FindById(20)];
    ASSERT_TRUE(doc.CopyFrom({&array}).IsCompleted());  // rebuilds the records
    CNVItemArray chosen = doc.SelectedItems();
    ASSERT_EQ(chosen.GetSize(), 1);
    EXPECT_EQ(chosen[0].Subscription(), 1);
    ASSERT_TRUE(doc.Undo().IsCompleted());
    ASSERT_TRUE(doc.Undo().IsCompleted());
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Selected).GetCount(), 0);

    // Unchanged: the same tree; the .qcn save keeps the layout it came in.
    ASSERT_TRUE(doc.SaveBackup(Path("b.qcn")).IsCompleted());
    EXPECT_TRUE(ReadTree(Path("b.qcn")).SameContent(FieldTree()));

    // One element edited: only its 136 bytes change, the rest of its stream stays.
    for (int i = 0; i < doc.Items().GetSize(); ++i) {
        if (doc.Items()[i].Id() == 20 && doc.Items()[i].Index() == 2) {
            ASSERT_TRUE(doc.SetValue(i, {0x42, 0x43, 0x44}).IsCompleted());
        }
    }
    ASSERT_TRUE(doc.SaveBackup(Path("e.qcn")).IsCompleted());
    CCompoundNode expected = FieldTree();
    Bytes& stream = expected.Storage("00000000").Storage("default").Storage("NV_NUMBERED_ITEMS").Stream("NV_ITEM_ARRAY").Bytes();
    const Bytes edited = Record(20, {2, 0x42, 0x43, 0x44});
    std::copy(edited.begin(), edited.end(), stream.begin() + 136);
    EXPECT_TRUE(ReadTree(Path("e.qcn")).SameContent(expected));

    // The XML form carries the same tree both ways.
    ASSERT_TRUE(doc.LoadBackup(Path("a.qcn")).IsCompleted());
    ASSERT_TRUE(doc.SaveBackup(Path("a.xqcn")).IsCompleted());
    ASSERT_TRUE(doc.LoadBackup(Path("a.xqcn")).IsCompleted());
    EXPECT_EQ(doc.Numbered().Origin(), EBackupOrigin::Xqcn);
    ASSERT_TRUE(doc.SaveBackup(Path("c.qcn")).IsCompleted());
    EXPECT_TRUE(ReadTree(Path("c.qcn")).SameContent(FieldTree()));

    // A kind that can't hold it all says once what it left out.
    frontend.ClearRecords();
    ASSERT_TRUE(doc.SaveBackup(Path("d.cnv")).IsCompleted());
    ASSERT_EQ(Told().size(), 1u);
    EXPECT_TRUE(Told("4 records and 3 item files were left out"));
    ASSERT_TRUE(doc.LoadBackup(Path("d.cnv")).IsCompleted());
    for (const auto& r : doc.Items()) EXPECT_EQ(r.Subscription(), 0);
    EXPECT_EQ(doc.Numbered().Origin(), EBackupOrigin::Cnv);
    EXPECT_TRUE(doc.Numbered().ItemFiles().empty());
}

TEST_F(DocNumbered, DamageIsToldByNameAndLeavesTheDocumentAsItWas) {
    CNVItemArray items;
    items.Add(Item(10, -1, {1, 2, 3, 4}));
    SetItems(items);
    const CNVItemArray before = doc.Items();
    auto withItems = [](const Bytes& bytes) {
        CCompoundNode tree = FieldTree();
        tree.Storage("00000000").Storage("default").Storage("NV_NUMBERED_ITEMS").Stream("NV_ITEM_ARRAY").SetBytes(bytes);
        return tree;
    };
    CCompoundNode noData = FieldTree();
    noData.Storage("00000000").Storage("default").Storage("NV_Items").Storage("EFS_Data").Remove("00000000");
    CCompoundNode neither;
    neither.Storage("Something").Stream("Else").SetBytes({1});
    const std::string tooShort = "<?xml version=\"1.0\"?>\n<Storage Name='a'><Storage Name='00000000'>"
                                 "<Stream Length='3' Name='X' Value='01 02'/></Storage></Storage>";
    struct SCase {
        const char* name;
        CCompoundNode tree;  // written as a compound file unless xml is given
        std::string xml;
        const char* told;
    } cases[] = {
        {"odd length", withItems(Bytes(137, 0)), "", "NV_ITEM_ARRAY"},
        {"record length", withItems(Record(10, {1}, 134)), "", "NV_ITEM_ARRAY"},
        {"dir without data", noData, "", "NV_Items"},
        {"neither layout", neither, "", "Something (storage)"},
        {"length against bytes", {}, tooShort, "X"},
        {"malformed xml", {}, "<?xml version=\"1.0\"?>\n<Storage Name='a'><Stream", "XQCN"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        frontend.ClearRecords();
        const std::string path = Path(std::string(c.name) + (c.xml.empty() ? ".qcn" : ".xqcn"));
        std::string error;
        if (c.xml.empty()) ASSERT_TRUE(CCompoundFile::Write(path, c.tree, error)) << error;
        else WriteFile(path, c.xml);
        EXPECT_TRUE(doc.LoadBackup(path).IsFailed());
        EXPECT_TRUE(Told(c.told));
        EXPECT_EQ(doc.Items(), before);
    }
}
