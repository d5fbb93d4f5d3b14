// One reader for every kind of backup: the same promises whatever the file holds.
#include "doc/backup_reader.h"
#include "doc/phone_image.h"
#include "doc_files_fixture.h"
#include "files/cnv_file.h"

#include <filesystem>
#include <tuple>

namespace {
struct SKind {
    const char* name;
    const char* file;
    CBackupFiles::ESaveLayout layout;
    EBackupKind kind;
    EBackupOrigin origin;
    const char* damaged;  // how a damaged file of the kind is told
};

const SKind kKinds[] = {
    {"Brt", "a.brt", CBackupFiles::ESaveLayout::AsLoaded, EBackupKind::Brt, EBackupOrigin::Brt, "Wrong data in BRT File.\n"},
    {"Cnv", "a.cnv", CBackupFiles::ESaveLayout::AsLoaded, EBackupKind::Cnv, EBackupOrigin::Cnv, "Wrong data in CNV File.\n"},
    {"TessivaQcn", "a.qcn", CBackupFiles::ESaveLayout::Tessiva, EBackupKind::Qcn, EBackupOrigin::TessivaQcn,
     "Can't open the file\n"},
    {"NumberedQcn", "a.qcn", CBackupFiles::ESaveLayout::Numbered, EBackupKind::Qcn, EBackupOrigin::Numbered,
     "Can't open the file\n"},
    {"Xqcn", "a.xqcn", CBackupFiles::ESaveLayout::AsLoaded, EBackupKind::Xqcn, EBackupOrigin::Xqcn,
     "Wrong data in XQCN File.\n"},
};

// What a restore writes, comparable across kinds.
std::vector<std::tuple<int, uint32_t, int, std::array<uint8_t, SNumberedRecord::kDataSize>>> Written(
    const SPhoneImage& image) {
    std::vector<std::tuple<int, uint32_t, int, std::array<uint8_t, SNumberedRecord::kDataSize>>> rows;
    for (const SImageRecord& r : image.records) rows.emplace_back(r.record.subscription, r.record.id, r.index, r.record.data);
    std::sort(rows.begin(), rows.end());
    return rows;
}

class ReadBackupTest : public DocFiles, public ::testing::WithParamInterface<SKind> {
protected:
    // Records of plain and array items and one no definition names, saved as the kind; the
    // document then holds other records.
    void SetUp() override {
        DocFiles::SetUp();
        CCnvFile cnv;
        ASSERT_TRUE(cnv.Create(Path("in.cnv")));
        for (const auto& [id, value, index] : std::vector<std::tuple<int, Bytes, int>>{
                 {10, {1, 2, 3, 4}, -1}, {20, {4, 5, 6}, 0}, {20, {7, 8, 9}, 1}, {50, {5, 4, 3, 2, 1}, -1}, {7777, {6, 6}, -1}})
            ASSERT_TRUE(cnv.WriteRecord(static_cast<uint16_t>(id), value, index));
        ASSERT_TRUE(cnv.Finish());
        ASSERT_TRUE(doc.LoadBackup(Path("in.cnv")).IsCompleted());
        saved = doc.Items();
        path = Path(GetParam().file);
        ASSERT_TRUE(doc.SaveBackup(path, CTessivaDoc::EScope::AllActive, GetParam().layout).IsCompleted());
        CNVItemArray other;
        other.Add(Item(30, -1, Seq(8)));
        SetItems(other);
        kept = doc.Items();
        (void)jobs.TakeNotes();
        frontend.ClearRecords();
    }

    SOutcome Read(const std::string& file) {
        content = SBackupContent();
        return ReadBackup(jobs, file, doc.Definitions(), content);
    }

    CNVItemArray saved, kept;
    std::string path;
    SBackupContent content;
};

TEST_P(ReadBackupTest, GivesTheRecordsTheKindAndTheNotesAndLeavesTheDocumentAlone) {
    const SOutcome read = Read(path);
    ASSERT_TRUE(read.IsCompleted()) << read.reason;
    EXPECT_EQ(content.records, saved);
    EXPECT_EQ(content.kind, GetParam().kind);
    EXPECT_EQ(content.numbered.Origin(), GetParam().origin);
    EXPECT_EQ(doc.Items(), kept);
    // The note on the undefined item is the read's; none is left with the jobs for the next operation.
    EXPECT_TRUE(Tells(read, "NV Item ID = 7777"));
    EXPECT_TRUE(jobs.TakeNotes().empty());
    // Whatever the kind, a restore of it writes the same records with the same bytes.
    const int active = 5;
    EXPECT_EQ(content.asRead.size(), content.numbered.IsNumbered() ? size_t{active} : 0u);
    const SPhoneImage image = ImageOfBackup(std::move(content), doc.Definitions());
    EXPECT_EQ(Written(image), Written(ImageOfRecords(saved, doc.Definitions())));
    EXPECT_EQ(image.records.size(), size_t{active});

    // The content decides the kind; a BRT file, a bare count, has only its name.
    const std::string misnamed = path + ".dat";
    std::filesystem::copy_file(path, misnamed);
    const SOutcome again = Read(misnamed);
    EXPECT_EQ(again.IsCompleted(), GetParam().kind != EBackupKind::Brt) << again.reason;
    EXPECT_EQ(content.records.GetSize(), again.IsCompleted() ? saved.GetSize() : 0);
}

TEST_P(ReadBackupTest, DamageAndAStopGiveNothingAndTheDocumentKeepsItsRecords) {
    const Bytes good = ReadBytes(path);
    for (size_t length : {size_t{0}, size_t{8}, good.size() / 2, good.size() * 3 / 4}) {
        SCOPED_TRACE(length);
        const std::string cut = Path("cut-") + GetParam().file;
        WriteFile(cut, AsString(Bytes(good.begin(), good.begin() + static_cast<ptrdiff_t>(length))));
        const SOutcome read = Read(cut);
        EXPECT_TRUE(read.IsFailed());
        EXPECT_EQ(read.reason.rfind(GetParam().damaged, 0), 0u) << read.reason;
        EXPECT_EQ(content.records.GetSize(), 0);
        EXPECT_TRUE(content.asRead.empty());
        EXPECT_FALSE(doc.LoadBackup(cut).IsCompleted());
        EXPECT_EQ(Told(), std::vector<std::string>{read.reason});
        EXPECT_EQ(doc.Items(), kept);
    }
    frontend.answers = {true, true};
    frontend.stopInCaption = "Filling up information about NV Items";
    EXPECT_TRUE(Read(path).IsStopped());
    EXPECT_EQ(content.records.GetSize(), 0);
    frontend.stopInCaption = "Filling up information about NV Items";
    EXPECT_TRUE(doc.LoadBackup(path).IsStopped());
    EXPECT_EQ(doc.Items(), kept);

    const SOutcome missing = Read(Path("missing-") + GetParam().file);
    EXPECT_EQ(missing.reason.rfind("Can't open the file\n" + Path("missing-"), 0), 0u) << missing.reason;
    EXPECT_EQ(content.kind, GetParam().kind);  // by the name
}

INSTANTIATE_TEST_SUITE_P(EveryKind, ReadBackupTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<SKind>& info) { return std::string(info.param.name); });
}  // namespace
