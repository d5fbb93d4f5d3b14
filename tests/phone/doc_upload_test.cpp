#include "phone/diag_commands.h"
#include "phone_test_support.h"


namespace {
using Bytes = std::vector<uint8_t>;

const CNVItem* FindRecord(const CNVItemArray& items, int id, int index = -1) {
    for (const auto& item : items)
        if (item.Id() == id && item.Index() == index) return &item;
    return nullptr;
}

void FillStandardStore(CSimNvStore& store) {
    store.Put(10, CSimNvStore::kPlain, {1, 2, 3, 4});
    store.Put(20, 0, {0x0A, 0x0B});
    store.Put(20, 1, {0x0C, 0x0D});
    store.Put(30, CSimNvStore::kPlain, {9});
    store.Put(40, CSimNvStore::kPlain, {7, 7});
    store.Put(50, CSimNvStore::kPlain, {5, 6, 7});
}

SSimPhoneOptions OddAnswers() {
    SSimPhoneOptions options;
    options.readStatus = {{30, kNvFailed}, {31, kNvReadOnly}, {33, 11}, {60, kNvNoMemory}};
    options.unreadable = {32};
    options.answerForOther = {40};
    return options;
}
}  // namespace

TEST_F(PhoneDocTest, UploadAppliesEveryKindOfAnswer) {
    StartPhone(FillStandardStore, OddAnswers());
    const SOutcome upload = doc.Upload(doc.DefinitionsPath());
    ASSERT_TRUE(upload.IsCompleted()) << upload.reason;
    EXPECT_TRUE(upload.notes.empty());
    EXPECT_TRUE(t.frontend.Messages().empty());
    ASSERT_EQ(doc.Items().GetSize(), 12);
    for (int i = 1; i < doc.Items().GetSize(); ++i)
        EXPECT_LE(doc.Items()[i - 1].Id(), doc.Items()[i].Id()) << "sorted by ID";

    const CNVItem* ten = FindRecord(doc.Items(), 10);
    ASSERT_TRUE(ten);
    EXPECT_EQ(ten->Value(), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(ten->Active(), 1);
    EXPECT_EQ(ten->Name(), "Plain Ten");
    EXPECT_EQ(ten->Group(), "Alpha");

    // Array: elements named without a blank, in index order; the missing one not active.
    for (int k = 0; k < 3; ++k) {
        const CNVItem* e = FindRecord(doc.Items(), 20, k);
        ASSERT_TRUE(e) << k;
        EXPECT_EQ(e->Name(), "Array Twenty [ " + std::to_string(k) + " ]");
        EXPECT_EQ(e->Count(), 3);
        EXPECT_EQ(e->Size(), 2);
        EXPECT_EQ(e->Group(), "Beta");
        EXPECT_EQ(e->TypeName(), "uint16");
    }
    EXPECT_EQ(FindRecord(doc.Items(), 20, 0)->Value(), (Bytes{0x0A, 0x0B}));
    EXPECT_EQ(FindRecord(doc.Items(), 20, 1)->Active(), 1);
    EXPECT_EQ(FindRecord(doc.Items(), 20, 2)->Value(), (Bytes{0, 0}));
    EXPECT_EQ(FindRecord(doc.Items(), 20, 2)->Active(), 0);

    // Status 4, an error reply, status above 10, a reply for another item: no value, -1.
    for (int id : {30, 32, 33, 40}) {
        const CNVItem* r = FindRecord(doc.Items(), id);
        ASSERT_TRUE(r) << id;
        EXPECT_EQ(r->Size(), 0) << id;
        EXPECT_EQ(r->Active(), -1) << id;
    }
    // Status 7 leaves the record as the list built it.
    EXPECT_EQ(FindRecord(doc.Items(), 31)->Value(), (Bytes{0}));
    EXPECT_EQ(FindRecord(doc.Items(), 31)->Active(), 0);
    // The link survives a reply for another item: the next item reads fine.
    EXPECT_EQ(FindRecord(doc.Items(), 50)->Value(), (Bytes{5, 6, 7}));
    // Status 9 for array elements: elements as built, not active.
    EXPECT_EQ(FindRecord(doc.Items(), 60, 1)->Name(), "Array Sixty [ 1 ]");
    EXPECT_EQ(FindRecord(doc.Items(), 60, 1)->Active(), 0);
    EXPECT_EQ(FindRecord(doc.Items(), 60, 1)->Value(), (Bytes{0}));

    // Entry lists: all records listed, nothing selected.
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Items).GetCount(), 12);
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Selected).GetCount(), 0);
    EXPECT_EQ(t.frontend.captions.back(), "Uploading NV Items from Mobile Phone");
    EXPECT_EQ(t.frontend.range.load(), 12);
    EXPECT_EQ(t.frontend.position.load(), 12);
}

TEST_F(PhoneDocTest, UploadByListTakesOnlyTheListedItems) {
    StartPhone(FillStandardStore);
    CNVItemArray old;
    CNVItem ten;
    ten.SetId(10);
    ten.SetName("Plain Ten");
    ten.SetGroup("Alpha");
    old.Add(ten);
    ASSERT_TRUE(doc.SetRecords(old).IsCompleted());
    ASSERT_TRUE(doc.SelectIds({10}).empty());
    ASSERT_EQ(doc.Entries(CTessivaDoc::ETree::Selected).GetCount(), 1);
    ASSERT_TRUE(doc.Upload(WriteList("Array Twenty;20\n")).IsCompleted());
    ASSERT_EQ(doc.Items().GetSize(), 3);
    EXPECT_EQ(doc.Items()[2].Index(), 2);
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Selected).GetCount(), 0);
}

TEST_F(PhoneDocTest, UploadStopAsksAndYesKeepsTheDocumentAsItWas) {
    StartPhone(FillStandardStore);
    t.frontend.cancelAtPosition = 3;
    t.frontend.answers = {false};  // No: the upload goes on
    ASSERT_TRUE(doc.Upload(doc.DefinitionsPath()).IsCompleted());
    ASSERT_EQ(t.frontend.Questions().size(), 1u);
    EXPECT_EQ(t.frontend.Questions()[0], "Are you sure you want to stop uploading NV Items from Mobile Phone?");
    EXPECT_EQ(doc.Items().GetSize(), 12);

    t.frontend.cancelAtPosition = 2;
    t.frontend.answers = {true};
    EXPECT_TRUE(doc.Upload(doc.DefinitionsPath()).IsStopped());
    EXPECT_FALSE(doc.HasPartialUpload());
    EXPECT_EQ(doc.Items().GetSize(), 12);
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Items).GetCount(), 12);
}

TEST_F(PhoneDocTest, UploadOfAMissingListStartsNothing) {
    StartPhone(FillStandardStore);
    const SOutcome upload = doc.Upload(m_dir + "/no-such-list.csv");
    EXPECT_TRUE(upload.IsFailed());
    EXPECT_EQ(upload.reason, "Can't open a file!\n" + m_dir + "/no-such-list.csv: No such file or directory");
    EXPECT_FALSE(doc.HasPartialUpload());
    EXPECT_TRUE(doc.Items().IsEmpty());
    EXPECT_EQ(t.frontend.captions.back(), "Loading list NV Items for uploading");  // the upload never ran
    EXPECT_TRUE(t.frontend.Messages().empty());
}

TEST_F(PhoneDocTest, NoiseAndSplitRepliesReadTheSame) {
    SSimLineOptions line;
    line.noise = true;
    line.split = true;
    StartPhone(FillStandardStore, {}, line);
    ASSERT_TRUE(doc.Upload(doc.DefinitionsPath()).IsCompleted());
    EXPECT_EQ(FindRecord(doc.Items(), 10)->Value(), (Bytes{1, 2, 3, 4}));
    EXPECT_EQ(FindRecord(doc.Items(), 20, 1)->Value(), (Bytes{0x0C, 0x0D}));
    EXPECT_EQ(FindRecord(doc.Items(), 50)->Active(), 1);
    EXPECT_TRUE(t.frontend.Messages().empty());
}

TEST_F(PhoneDocTest, PhoneThatFallsSilentCostsOneTimeout) {
    SSimLineOptions line;
    line.silentAfter = 2;  // the version probe and item 10
    doc.Phone().Settings().requestTimeoutMs = kSilentTimeoutMs;
    StartPhone(FillStandardStore, {}, line);
    const SOutcome upload = doc.Upload(doc.DefinitionsPath());
    ASSERT_TRUE(upload.IsFailed());
    EXPECT_NE(upload.reason.find("stopped answering"), std::string::npos) << upload.reason;
    EXPECT_NE(upload.reason.find("did not answer within 300 ms"), std::string::npos) << upload.reason;
    EXPECT_TRUE(t.frontend.Messages().empty());
    // The document stays until the front end takes what was read.
    EXPECT_TRUE(doc.Items().IsEmpty());
    ASSERT_TRUE(doc.HasPartialUpload());
    ASSERT_TRUE(doc.TakePartialUpload().IsCompleted());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(FindRecord(doc.Items(), 10)->Active(), 1);
    for (const auto& r : doc.Items()) EXPECT_EQ(r.Active(), r.Id() == 10 ? 1 : -1) << r.Id();
    // The probe, item 10 and the one request that timed out; the rest failed without asking.
    EXPECT_EQ(sim->server.Received(), 3);
    EXPECT_FALSE(doc.Phone().CheckConnected());
    EXPECT_FALSE(doc.Phone().IsConnected());
}

TEST_F(PhoneDocTest, PhoneThatGoesAwayEndsTheUploadAtOnce) {
    StartPhone(FillStandardStore);
    sim->server.Stop();  // the pseudo-terminal closes, as an unplugged cable
    const SOutcome upload = doc.Upload(doc.DefinitionsPath());
    ASSERT_TRUE(upload.IsFailed());
    EXPECT_NE(upload.reason.find("went away"), std::string::npos) << upload.reason;
    ASSERT_TRUE(doc.TakePartialUpload().IsCompleted());
    for (const auto& r : doc.Items()) EXPECT_EQ(r.Active(), -1);
}
