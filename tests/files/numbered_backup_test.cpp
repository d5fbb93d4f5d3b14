// The numbered-items backup: compound tree, codec, XML form and damage.
#include "compound_image.h"
#include "files/backup_tree.h"
#include "files/compound_file.h"
#include "file_bytes.h"
#include "files/numbered_backup.h"
#include "test_support.h"
#include "files/xqcn_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <unistd.h>

namespace {
std::string TempPath(const std::string& name) {
    static const std::string dir = MakeTempDir("numbered");
    return dir + "/" + name;
}

std::string HexOf(const Bytes& b) {
    static const char* d = "0123456789abcdef";
    std::string s;
    for (uint8_t x : b) s += {d[x >> 4], d[x & 15]};
    return s;
}

Bytes Record(uint32_t id, std::initializer_list<int> data, uint16_t length = 136) {
    Bytes r;
    PutU16(r, length);
    PutU16(r, 1);
    PutU32(r, id);
    PutPadded(r, Bytes(data.begin(), data.end()), 128);
    return r;
}

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

CCompoundNode& Add(CCompoundNode& parent, const std::string& name, const Bytes& bytes) {
    CCompoundNode& s = parent.Stream(name);
    s.SetBytes(bytes);
    return s;
}

// A numbered-items file as other tools write it, made byte by byte.
CCompoundNode FieldFile() {
    CCompoundNode root;
    Bytes version;
    PutU16(version, 2), PutU16(version, 0), PutU16(version, 0);
    Add(root, "File_Version", version);
    CCompoundNode& def = root.Storage("00000000").Storage("default");
    Add(def, "Mobile_Property_Info", {0x10, 0x27, 0, 0, 0x55, 0, 3, 'A', 'B', 'C'});  // the older form, kept as is
    Add(def, "Feature_Mask", {3, 0, 0xF0, 0x0F, 0xAA});
    CCompoundNode& items = def.Storage("NV_NUMBERED_ITEMS");
    Bytes main;
    for (const auto& r : {Record(0, {0x78, 0x56, 0x34, 0x12}), Record(57, {0, 1, 3, '1', '2', '3'}),
                          Record(57, {1, 2, 2, '9', '9'}), Record(70000, {0xDE, 0xAD}), Record(5000, {7})})
        main.insert(main.end(), r.begin(), r.end());
    Add(items, "NV_ITEM_ARRAY", main);
    Add(items, "NV_ITEM_ARRAY_SIM_1", Record(81, {1}));
    Add(items, "NV_ITEM_ARRAY_SIM_2", {});
    auto area = [&](const std::string& name, const Bytes& dir, const Bytes& data) {
        CCompoundNode& a = def.Storage(name);
        Add(a.Storage("EFS_Dir"), "00000000", dir);
        Add(a.Storage("EFS_Data"), "00000000", data);
    };
    area("NV_Items", Text("/nv/item_files/modem/mmode/lte_bandpref"), {0xFF, 0, 0, 0, 0, 0, 0, 0});
    Bytes provisioning = Text("/nv/item_files/ims/IMS_enable");
    provisioning.push_back(0);
    area("Provisioning_Item_Files", provisioning, {1});
    Bytes efs = {0x01, 0x00, 0x01, 0x01};
    PutU32(efs, 0x81B6);
    const Bytes efsPath = Text("/policyman/carrier_policy.xml");
    efs.insert(efs.end(), efsPath.begin(), efsPath.end());
    area("EFS_Backup", efs, {});
    Add(def, "Vendor_Extra", {9, 9});
    Add(root.Storage("00000334").Storage("default"), "Mobile_Property_Info", {1, 2, 3});
    return root;
}

std::string Hex(const CCompoundNode& root, const std::string& path) {
    const CCompoundNode* s = root.FindStream(path);
    return s ? HexOf(s->Bytes()) : "<missing>";
}
}  // namespace

TEST(NumberedBackup, DecodesEncodesAndConvertsWithoutLoss) {
    const CCompoundNode made = FieldFile();
    const std::string first = TempPath("field.qcn"), second = TempPath("again.qcn"), xml = TempPath("field.xqcn"),
                      third = TempPath("from-xml.qcn");
    std::string error;
    ASSERT_TRUE(CCompoundFile::Write(first, made, error)) << error;
    const auto original = OleStreams(first);
    ASSERT_EQ(original.size(), 14u);
    EXPECT_EQ(original.at("00000000/default/NV_NUMBERED_ITEMS/NV_ITEM_ARRAY"), Hex(made, "00000000/default/NV_NUMBERED_ITEMS/NV_ITEM_ARRAY"));

    CCompoundNode tree;
    EBackupForm form{};
    ASSERT_TRUE(ReadBackupTree(first, tree, form, error)) << error;
    EXPECT_EQ(form, EBackupForm::Compound);
    EXPECT_TRUE(tree.SameContent(made));
    std::string found;
    EXPECT_EQ(DetectQcnLayout(tree, found), EQcnLayout::Numbered);

    SNumberedBackup backup;
    ASSERT_TRUE(DecodeNumbered(tree, backup, error)) << error;
    EXPECT_EQ(backup.storage, "00000000");
    std::string records;
    for (const auto& r : backup.records)
        records += std::to_string(r.subscription) + ":" + std::to_string(r.id) + "[" + std::to_string(r.data[0]) + "]@" +
                   std::to_string(r.position) + " ";
    EXPECT_EQ(records, "0:0[120]@0 0:57[0]@1 0:57[1]@2 0:70000[222]@3 0:5000[7]@4 1:81[1]@0 ");
    EXPECT_EQ(backup.hasStream, (std::array<bool, 3>{true, true, true}));
    EXPECT_EQ(backup.fileVersion, (std::array<uint16_t, 3>{2, 0, 0}));
    EXPECT_EQ(backup.featureMask, (Bytes{0xF0, 0x0F, 0xAA}));
    ASSERT_EQ(backup.itemFiles.size(), 3u);
    EXPECT_EQ(backup.itemFiles[0].path, "/nv/item_files/modem/mmode/lte_bandpref");
    EXPECT_EQ(backup.itemFiles[1].path, "/nv/item_files/ims/IMS_enable");
    EXPECT_EQ(backup.itemFiles[2].path, "/policyman/carrier_policy.xml");
    EXPECT_EQ(backup.itemFiles[2].attributes, 0x81B6u);
    EXPECT_EQ(backup.itemFiles[0].data.size(), 8u);

    // Unchanged: every stream byte-identical, seen by the other reader.
    CCompoundNode encoded;
    ASSERT_TRUE(EncodeNumbered(backup, encoded, error)) << error;
    ASSERT_TRUE(WriteBackupTree(second, encoded, EBackupForm::Compound, error)) << error;
    EXPECT_EQ(OleStreams(second), original);

    // Compound -> XML -> compound keeps the tree.
    ASSERT_TRUE(WriteBackupTree(xml, tree, EBackupForm::Xml, error)) << error;
    CCompoundNode fromXml;
    std::string outer;
    ASSERT_TRUE(CXqcnFile::Read(xml, fromXml, error, &outer)) << error;
    EXPECT_EQ(outer, "field.xqcn");
    EXPECT_TRUE(fromXml.SameContent(tree));
    EXPECT_EQ(fromXml.Children().back().Name(), "File_Version");
    ASSERT_TRUE(CCompoundFile::Write(third, fromXml, error)) << error;
    EXPECT_EQ(OleStreams(third), original);

    // One edit touches that record's 136 bytes only; an added record goes last, one removed is gone.
    SNumberedBackup edited = backup;
    edited.records[2].data[5] = 0x42;
    ASSERT_TRUE(EncodeNumbered(edited, encoded, error)) << error;
    const Bytes& before = tree.FindStream("00000000/default/NV_NUMBERED_ITEMS/NV_ITEM_ARRAY")->Bytes();
    const Bytes& after = encoded.FindStream("00000000/default/NV_NUMBERED_ITEMS/NV_ITEM_ARRAY")->Bytes();
    ASSERT_EQ(before.size(), after.size());
    for (size_t i = 0; i < before.size(); ++i) EXPECT_EQ(before[i] != after[i], i == 2 * 136 + 8 + 5) << "byte " << i;

    std::reverse(edited.records.begin(), edited.records.end());  // the caller's order doesn't matter
    SNumberedRecord added;
    added.id = 4;
    added.subscription = 2;
    edited.records.push_back(added);
    added.id = 3;
    edited.records.push_back(added);
    edited.records.erase(std::find_if(edited.records.begin(), edited.records.end(), [](auto& r) { return r.id == 70000; }));
    edited.itemFiles.erase(edited.itemFiles.begin());
    edited.itemFiles.push_back(MakeItemFile("NV_Items", "/nv/item_files/new", {5}));
    ASSERT_TRUE(EncodeNumbered(edited, encoded, error)) << error;
    SNumberedBackup again;
    ASSERT_TRUE(DecodeNumbered(encoded, again, error)) << error;
    records.clear();
    for (const auto& r : again.records) records += std::to_string(r.subscription) + ":" + std::to_string(r.id) + " ";
    EXPECT_EQ(records, "0:0 0:57 0:57 0:5000 1:81 2:3 2:4 ");
    ASSERT_EQ(again.itemFiles.size(), 3u);
    EXPECT_EQ(again.itemFiles[0].path, "/nv/item_files/new");
    EXPECT_EQ(again.itemFiles[0].index, "00000001");
    EXPECT_EQ(encoded.FindStream("00000000/default/NV_Items/EFS_Data/00000000"), nullptr);
    EXPECT_EQ(Hex(encoded, "00000334/default/Mobile_Property_Info"), "010203");
    EXPECT_EQ(Hex(encoded, "00000000/default/Vendor_Extra"), "0909");

    // A save that can't complete leaves the previous file.
    CCompoundNode bad = tree;
    bad.Stream("a name far too long for any compound file");
    EXPECT_FALSE(CCompoundFile::Write(first, bad, error));
    EXPECT_EQ(OleStreams(first), original);
}

TEST(NumberedBackup, NewFileHasTheSkeletonAndNamesThisProgram) {
    SNumberedBackup backup;
    SNumberedRecord r;
    r.id = 550;
    backup.records.push_back(r);
    for (const char* area : Numbered::kAreas) backup.itemFiles.push_back(MakeItemFile(area, std::string("/f/") + area, {1}, 7));
    CCompoundNode tree;
    std::string error, found;
    ASSERT_TRUE(EncodeNumbered(backup, tree, error)) << error;
    SNumberedBackup decoded;
    ASSERT_TRUE(DecodeNumbered(tree, decoded, error)) << error;
    std::string files;
    for (const auto& f : decoded.itemFiles) files += f.index + f.path + ":" + std::to_string(f.attributes) + " ";
    EXPECT_EQ(files, "00000000/f/NV_Items:0 00000000/f/Provisioning_Item_Files:0 00000000/f/EFS_Backup:7 ");
    EXPECT_EQ(DetectQcnLayout(tree, found), EQcnLayout::Numbered);
    EXPECT_EQ(Hex(tree, "File_Version"), "020000000000");
    Bytes info = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 11, 0};
    const Bytes program = Text("Tessiva 1.5");
    info.insert(info.end(), program.begin(), program.end());
    EXPECT_EQ(Hex(tree, "00000000/default/Mobile_Property_Info"), HexOf(info));
    EXPECT_EQ(Hex(tree, "00000000/default/NV_NUMBERED_ITEMS/NV_ITEM_ARRAY"), HexOf(Record(550, {})));
    // Other tools expect both subscription streams and every item-file area, empty or not.
    backup.itemFiles.clear();
    ASSERT_TRUE(EncodeNumbered(backup, tree, error)) << error;
    for (const char* sim : {"NV_ITEM_ARRAY_SIM_1", "NV_ITEM_ARRAY_SIM_2"})
        EXPECT_EQ(Hex(tree, std::string("00000000/default/NV_NUMBERED_ITEMS/") + sim), "") << sim;
    for (const char* area : Numbered::kAreas)
        for (const char* part : {"/EFS_Dir", "/EFS_Data"}) {
            const CCompoundNode* storage = tree.FindStorage(std::string("00000000/default/") + area + part);
            ASSERT_NE(storage, nullptr) << area << part;
            EXPECT_TRUE(storage->Children().empty());
        }
}

// Every reader refuses damage with a message naming what is wrong, and hands back nothing.
TEST(NumberedBackup, DamageIsRefusedWithAMessage) {
    const std::string items = "00000000/default/NV_NUMBERED_ITEMS/";
    auto edit = [](const std::function<void(CCompoundNode&)>& change) {
        CCompoundNode tree = FieldFile();
        change(tree);
        return tree;
    };
    auto stream = [](CCompoundNode& t, const std::string& path) -> Bytes& {
        return const_cast<CCompoundNode*>(t.FindStream(path))->Bytes();
    };
    struct SCase {
        const char* name;
        std::function<bool(std::string&)> load;
        const char* expected;  // a part of the message; empty: the load must succeed
    };
    auto decode = [](CCompoundNode tree) {
        return [tree](std::string& error) {
            SNumberedBackup backup;
            const bool ok = DecodeNumbered(tree, backup, error);
            EXPECT_TRUE(ok || (backup.records.empty() && backup.tree.Children().empty()));
            return ok;
        };
    };
    auto decodeOk = [](CCompoundNode tree) {
        return [tree](std::string& error) {
            SNumberedBackup backup;
            return DecodeNumbered(tree, backup, error);
        };
    };
    auto xml = [](std::string text) {
        return [text](std::string& error) {
            CCompoundNode tree;
            EBackupForm form{};
            const bool ok = ReadBackupTree(reinterpret_cast<const uint8_t*>(text.data()), text.size(), tree, form, error);
            return ok && form == EBackupForm::Xml && tree.Children().size() == 1;
        };
    };
    const std::string head = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\n<Storage Name='f'>";
    std::vector<uint8_t> compound;
    std::string error;
    ASSERT_TRUE(CCompoundFile::WriteMemory(FieldFile(), compound, error));
    auto raw = [](std::vector<uint8_t> bytes) {
        return [bytes](std::string& error) {
            CCompoundNode tree;
            EBackupForm form{};
            const bool ok = ReadBackupTree(bytes.data(), bytes.size(), tree, form, error);
            EXPECT_TRUE(ok || tree.Children().empty());
            return ok;
        };
    };
    // A name twice in one storage: a stream of records, or the storage of them.
    auto twice = [](const std::function<void(CCompoundNode&)>& add, const std::string& from, const std::string& to) {
        CCompoundNode tree = FieldFile();
        add(tree);
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(CCompoundFile::WriteMemory(tree, bytes, error)) << error;
        CCompoundImage image(bytes);
        image.Rename(from, to);
        return image.bytes;
    };
    const auto twoArrays = twice([](CCompoundNode&) {}, "NV_ITEM_ARRAY_SIM_1", "NV_ITEM_ARRAY");
    const auto twoStorages = twice([](CCompoundNode& t) { t.Storage("00000000").Storage("default").Storage("NV_NUMBERED_ITEMZ"); },
                                   "NV_NUMBERED_ITEMZ", "NV_NUMBERED_ITEMS");
    std::vector<uint8_t> truncated(compound.begin(), compound.begin() + compound.size() / 2);
    std::vector<uint8_t> torn = compound;
    std::fill(torn.begin() + 512, torn.end(), 0xFF);  // every sector after the header is garbage

    const SCase cases[] = {
        {"record stream not whole records", decode(edit([&](auto& t) { stream(t, items + "NV_ITEM_ARRAY").push_back(0); })),
         "NV_ITEM_ARRAY is damaged: its 681 bytes"},
        {"record length field", decode(edit([&](auto& t) { stream(t, items + "NV_ITEM_ARRAY_SIM_1")[0] = 0x87; })),
         "NV_ITEM_ARRAY_SIM_1 is damaged: record 1 gives its length as 135"},
        {"Dir without Data", decode(edit([](auto& t) {
             const_cast<CCompoundNode*>(t.FindStorage("00000000/default/NV_Items/EFS_Data"))->Remove("00000000");
         })),
         "NV_Items/EFS_Dir/00000000 names a file whose content"},
        {"EFS header cut short", decode(edit([&](auto& t) { stream(t, "00000000/default/EFS_Backup/EFS_Dir/00000000").resize(7); })),
         "EFS_Backup/EFS_Dir/00000000 is damaged"},
        {"Feature_Mask longer than its stream", decode(edit([&](auto& t) { stream(t, "00000000/default/Feature_Mask")[0] = 9; })),
         "Feature_Mask is damaged"},
        {"Data without Dir is kept, not damage", decodeOk(edit([](auto& t) {
             const_cast<CCompoundNode*>(t.FindStorage("00000000/default/NV_Items/EFS_Dir"))->Remove("00000000");
         })),
         ""},
        {"xml: quotes, spaces and case are free", xml(head + "\n\t<Stream  Name=\"s\"\n Length=\"3\" Value=' 0a  ff\tB0 '/></Storage>"), ""},
        {"xml: Length disagrees", xml(head + "<Storage Name='a'><Stream Length='3' Name='s' Value='01 02'/></Storage></Storage>"),
         "The stream a/s (line 2) gives Length 3 but holds 2 bytes"},
        {"xml: absurd Length", xml(head + "<Stream Length='18446744073709551615' Name='s' Value=''/></Storage>"), "gives Length"},
        {"xml: not hex", xml(head + "<Stream Length='2' Name='s' Value='01 2G'/></Storage>"), "s (line 2) has a Value that is not hex"},
        {"xml: digits run together", xml(head + "<Stream Length='2' Name='s' Value='0102'/></Storage>"), "not hex"},
        {"xml: no Length", xml(head + "<Stream Name='s' Value='01'/></Storage>"), "no valid Length"},
        {"xml: unclosed", xml(head + "<Stream Length='0' Name='s' Value=''/>"), "malformed at line"},
        {"xml: unknown element", xml(head + "<Blob Name='x'/></Storage>"), "unknown element <Blob>"},
        {"xml: a name twice", xml(head + "<Storage Name='x'/><Stream Name='x' Length='0' Value=''/></Storage>"), "x appears twice"},
        {"xml: child of a stream", xml(head + "<Stream Name='x' Length='0' Value=''><Storage Name='y'/></Stream></Storage>"),
         "where none can be"},
        {"xml: entity tricks", xml("<?xml version='1.0'?><!DOCTYPE a [<!ENTITY e 'x'>]><Storage Name='f'/>"), "document type"},
        {"xml: too large", [](std::string& error) {
             const uint8_t lt = '<';
             CCompoundNode tree;
             return CXqcnFile::ReadMemory(&lt, CXqcnFile::kMaxFileSize + 1, tree, error);  // refused before reading
         },
         "far more than any .xqcn"},
        {"compound cut in half", raw(truncated), "compound file"},
        {"compound sectors torn", raw(torn), "compound file"},
        {"neither form", raw({'P', 'K', 3, 4}), "not a compound file"},
        {"two record streams of one name", raw(twoArrays), "NV_NUMBERED_ITEMS/NV_ITEM_ARRAY appears twice"},
        {"two storages of records", raw(twoStorages), "default/NV_NUMBERED_ITEMS appears twice"},
    };
    for (const auto& c : cases) {
        std::string message;
        const bool ok = c.load(message);
        if (*c.expected) {
            EXPECT_FALSE(ok) << c.name;
            EXPECT_NE(message.find(c.expected), std::string::npos) << c.name << ": " << message;
        } else {
            EXPECT_TRUE(ok) << c.name << ": " << message;
        }
    }
}

TEST(NumberedBackup, LayoutIsToldByContent) {
    struct SCase {
        std::vector<std::string> storages;  // paths of storages to make
        EQcnLayout layout;
        const char* found;
    };
    const SCase cases[] = {
        {{"00000000/default/550", "00000000/default/57"}, EQcnLayout::Tessiva, ""},
        {{"00000000/default"}, EQcnLayout::Tessiva, ""},
        {{"00000334/default/NV_NUMBERED_ITEMS"}, EQcnLayout::Numbered, ""},
        {{"Workbook", "Pictures/x"}, EQcnLayout::Unknown, "Workbook (storage), Pictures (storage)"},
        {{}, EQcnLayout::Unknown, "top level is empty"},
    };
    for (const auto& c : cases) {
        CCompoundNode tree;
        for (const auto& path : c.storages) {
            CCompoundNode* node = &tree;
            for (size_t start = 0, slash; start != std::string::npos; start = slash == std::string::npos ? slash : slash + 1) {
                slash = path.find('/', start);
                node = &node->Storage(path.substr(start, slash - start));
            }
        }
        std::string found;
        EXPECT_EQ(DetectQcnLayout(tree, found), c.layout) << c.storages.size();
        EXPECT_NE(found.find(c.found), std::string::npos) << found;
    }
}

// A Value is hex bytes of two digits each, spaces between; a digit left over anywhere is
// damage, never a byte made up from half of one. Length always matches the bytes a lenient
// reading would make, so only the value's own form decides.
TEST(NumberedBackup, XqcnValueIsWholeHexBytesOrRefused) {
    const struct {
        const char* value;
        int length;
        Bytes bytes;  // empty for a refusal, unless good
        bool good;
    } cases[] = {
        {"", 0, {}, true},
        {"0a", 1, {0x0a}, true},
        {" 0a  ff\tB0 ", 3, {0x0a, 0xff, 0xb0}, true},
        {"\r\n01\n02\r\n", 2, {1, 2}, true},
        {"01 2", 2, {}, false},
        {"2", 1, {}, false},
        {"1 02", 2, {}, false},
        {"01 2 03", 3, {}, false},
        {"01 02 3 ", 3, {}, false},
        {"012", 2, {}, false},
        {"0x01", 2, {}, false},
        {"01,02", 2, {}, false},
        {"-1", 1, {}, false},
        {"01 g2", 2, {}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        const std::string text = "<?xml version=\"1.0\"?>\n<Storage Name='f'><Stream Name='s' Length='" +
                                 std::to_string(c.length) + "' Value='" + c.value + "'/></Storage>";
        CCompoundNode tree;
        EBackupForm form{};
        std::string error;
        const bool read = ReadBackupTree(reinterpret_cast<const uint8_t*>(text.data()), text.size(), tree, form, error);
        EXPECT_EQ(read, c.good) << error;
        if (c.good) {
            const CCompoundNode* s = tree.FindStream("s");
            ASSERT_NE(s, nullptr);
            EXPECT_EQ(s->Bytes(), c.bytes);
        } else {
            EXPECT_NE(error.find("has a Value that is not hex bytes"), std::string::npos) << error;
            EXPECT_TRUE(tree.Children().empty());
        }
    }
}
