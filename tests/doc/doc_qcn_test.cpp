#include "doc_files_fixture.h"
#include "files/qcn_file.h"

namespace {
using DocQcn = DocFiles;

// Every storage and stream of a compound file as an independent reader sees it.
std::string OleListing(const std::string& path) {
    const std::string script = MakeTempDir("ole") + "/list.py";
    WriteFile(script,
              "import sys, olefile\n"
              "ole = olefile.OleFileIO(sys.argv[1])\n"
              "for entry in sorted(ole.listdir(streams=True, storages=True)):\n"
              "    name = '/'.join(entry)\n"
              "    if ole.get_type(entry) == olefile.STGTY_STORAGE:\n"
              "        print('S', name)\n"
              "    else:\n"
              "        data = ole.openstream(entry).read()\n"
              "        print('F', name, len(data), data[:6].hex(), data[6:].rstrip(b'\\0').hex())\n");
    std::string out, err;
    const int status = RunCommand("/usr/bin/python3 " + script + " " + path, &out, &err);
    return status == 0 ? out : "python failed: " + err;
}
}  // namespace

TEST_F(DocQcn, SavedFileHoldsTheStoragesAndStreamsAnIndependentReaderExpects) {
    CNVItemArray items;
    items.Add(Item(10, -1, {1, 2, 3, 4}));
    AddArray(items, 20, {{1, {0x11, 0x12, 0x13}}, {2, {0x21, 0x22, 0x23}}});  // element 0 not active
    items.Add(Item(30, -1, Seq(128)));
    items.Add(Item(50, -1, Seq(5), 0));   // not active: not written
    items.Add(Item(60, -1, {}, -1));      // unreadable: not written either
    SetItems(items);
    const int cancelEnabledBefore = frontend.cancelEnabledCount.load();
    ASSERT_TRUE(doc.SaveBackup(Path("a.qcn")).IsCompleted());
    std::string seq128;
    for (int i = 1; i <= 128; ++i) {
        char hex[3];
        std::snprintf(hex, sizeof hex, "%02x", i);
        seq128 += hex;
    }
    EXPECT_EQ(OleListing(Path("a.qcn")),
              "S 00000000\n"
              "S 00000000/default\n"
              "S 00000000/default/10\n"
              "F 00000000/default/10/0 134 0a0000008000 01020304\n"
              "S 00000000/default/20\n"
              "F 00000000/default/20/1 134 140001008000 111213\n"
              "F 00000000/default/20/2 134 140002008000 212223\n"
              "S 00000000/default/30\n"
              "F 00000000/default/30/0 134 1e0000008000 " + seq128 + "\n");
    EXPECT_EQ(frontend.captions,
              (std::vector<std::string>{"Saving NV Items to QCN file.\nPlease wait.", "QCN file commit.\nPlease wait."}));
    EXPECT_EQ(frontend.range.load(), 7);
    EXPECT_EQ(frontend.cancelEnabledCount.load(), cancelEnabledBefore);

    SetItems({});
    frontend.ClearRecords();
    ASSERT_TRUE(doc.LoadBackup(Path("a.qcn")).IsCompleted());
    CNVItemArray want;
    want.Add(Item(10, -1, {1, 2, 3, 4}));
    AddArray(want, 20, {{1, {0x11, 0x12, 0x13}}, {2, {0x21, 0x22, 0x23}}});
    want.Add(Item(30, -1, Seq(128)));  // the whole block comes back
    EXPECT_EQ(doc.Items(), want);
    EXPECT_TRUE(Told().empty());
    EXPECT_EQ(frontend.captions,
              (std::vector<std::string>{"Loading NV Items from QCN file.\nPlease wait.", "QCN file commit.\nPlease wait.",
                                        "Filling up information about NV Items"}));
}

TEST_F(DocQcn, LargestElementSurvivesAndLongerValuesAreRefused) {
    CNVItemArray items;
    AddArray(items, 40, {{0, Seq(127, 3)}, {1, Seq(127, 9)}});
    SetItems(items);
    ASSERT_TRUE(doc.SaveBackup(Path("a.qcn")).IsCompleted());
    ASSERT_TRUE(doc.LoadBackup(Path("a.qcn")).IsCompleted());
    EXPECT_EQ(doc.Items(), items);

    items.RemoveAll();
    AddArray(items, 40, {{1, Seq(128)}});
    SetItems(items);
    WriteFile(Path("a.qcn"), "old");
    EXPECT_FALSE(doc.SaveBackup(Path("a.qcn")).IsCompleted());
    EXPECT_TRUE(Told("NV Item ID = 40 (ArrBig [ 1 ]), element 1:\nits value of 128 bytes does not fit"));
    EXPECT_EQ(ReadFile(Path("a.qcn")), "old");
    items.RemoveAll();
    items.Add(Item(10, -1, {1, 2, 3, 4}));
    SetItems(items);
    EXPECT_FALSE(doc.SaveBackup(Path("no/such/folder/a.qcn")).IsCompleted());
    EXPECT_TRUE(Told("Can't open the file\n" + Path("no/such/folder/a.qcn") + ": "));
}

TEST_F(DocQcn, SelectedSaveAndUndefinedIdsOnLoad) {
    CNVItemArray items;
    items.Add(Item(10, -1, {1, 2, 3, 4}));
    AddArray(items, 70, {{0, {1, 1, 1}}, {1, {2, 2, 2}}, {2, {3, 3, 3}}});
    SetItems(items);
    Select({70});
    ASSERT_TRUE(doc.SaveBackup(Path("s.qcn"), CTessivaDoc::EScope::SelectedActive).IsCompleted());
    // Item 99, unknown to the definitions, added beside them.
    {
        CQcnFile file;
        ASSERT_TRUE(file.Create(Path("u.qcn")) && file.CreateLevel("00000000") && file.CreateLevel("default"));
        CNVItemArray withUnknown = items;
        CNVItem unknown;
        unknown.SetId(99);
        unknown.SetActive(1);
        unknown.SetValue(Bytes{1});
        for (int k = 0; k < 2; ++k) {
            unknown.SetIndex(k);
            withUnknown.Add(unknown);
        }
        ASSERT_TRUE(file.WriteItems(withUnknown));
        ASSERT_TRUE(file.CommitAndClose());
    }
    ASSERT_TRUE(doc.LoadBackup(Path("s.qcn")).IsCompleted());
    ASSERT_EQ(doc.Items().GetSize(), 3);
    EXPECT_EQ(doc.Items()[2], Item(70, 2, {3, 3, 3}));

    frontend.ClearRecords();
    ASSERT_TRUE(doc.LoadBackup(Path("u.qcn")).IsCompleted());
    EXPECT_EQ(Told(), std::vector<std::string>{"NV Item ID = 99 \n Is not defined in NVItemsDefine.def "
                                               "file\n So it can't be edit by Tessiva\nand 1 more"});
    CNVItemArray defined = doc.Items();
    defined.KeepIf([](const CNVItem& r) { return r.Id() != 99; });
    EXPECT_EQ(defined, items);
    EXPECT_EQ(doc.Items().GetSize(), items.GetSize() + 2);  // both streams of item 99 kept
}
