// Values at the 128-byte limit of a record, through every saver and back.
#include "doc_files_fixture.h"

namespace {
class DocLimits : public DocFiles {};
}  // namespace

// Each kind holds a plain value of up to 128 bytes and an element of up to 127 (its index takes
// the first byte of the record); CNV records have room for more. A value that does not fit is
// refused by name and nothing is written, never cut.
TEST_F(DocLimits, ValuesAroundTheRecordSizeSaveWholeOrNotAtAll) {
    const struct {
        int id, index;  // 30: a 128-byte item; 40: an array of 127-byte elements
        int size;
    } values[] = {{30, -1, 127}, {30, -1, 128}, {30, -1, 129}, {40, 0, 126}, {40, 0, 127}, {40, 0, 128}};
    const struct {
        const char* file;
        CBackupFiles::ESaveLayout layout;
        bool roomy;
    } kinds[] = {{"a.cnv", CBackupFiles::ESaveLayout::AsLoaded, true},
                 {"a.brt", CBackupFiles::ESaveLayout::AsLoaded, false},
                 {"a.qcn", CBackupFiles::ESaveLayout::Tessiva, false},
                 {"n.qcn", CBackupFiles::ESaveLayout::Numbered, false},
                 {"a.xqcn", CBackupFiles::ESaveLayout::AsLoaded, false}};
    for (const auto& kind : kinds) {
        for (const auto& v : values) {
            SCOPED_TRACE(std::string(kind.file) + ": " + std::to_string(v.id) + " of " + std::to_string(v.size));
            CNVItemArray items;
            items.Add(Item(10, -1, {1, 2, 3, 4}));
            if (v.index < 0) items.Add(Item(v.id, -1, Seq(v.size, 0x40)));
            else AddArray(items, v.id, {{v.index, Seq(v.size, 0x40)}});
            SetItems(items);
            const CNVItemArray saved = doc.Items();
            const bool fits = kind.roomy || v.size + (v.index >= 0 ? 1 : 0) <= 128;
            WriteFile(Path(kind.file), "old");
            const SOutcome outcome = doc.SaveBackup(Path(kind.file), CTessivaDoc::EScope::AllActive, kind.layout);
            ASSERT_EQ(outcome.IsCompleted(), fits) << outcome.reason;
            if (!fits) {
                EXPECT_TRUE(Told("its value of " + std::to_string(v.size) + " bytes does not fit")) << outcome.reason;
                EXPECT_EQ(ReadFile(Path(kind.file)), "old");
                continue;
            }
            SetItems(CNVItemArray());
            ASSERT_TRUE(doc.LoadBackup(Path(kind.file)).IsCompleted());
            // A load gives a shorter value the size its definition names, zero-filled.
            CNVItemArray want = saved;
            for (CNVItem& r : want) {
                Bytes value = r.Value();
                const int defined = doc.Definitions()[doc.Definitions().FindById(r.Id())].Size();
                value.resize(std::max(value.size(), static_cast<size_t>(defined)), 0);
                r.SetValue(value);
            }
            EXPECT_EQ(doc.Items(), want);
        }
    }
}
