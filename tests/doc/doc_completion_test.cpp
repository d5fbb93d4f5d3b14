#include "doc_files_fixture.h"

#include "doc/item_completion.h"

namespace {
// Completion works on loaded records before they become the document's.
class DocCompletion : public DocFiles {
protected:
    CNVItemArray items;
    CItemCompletion completion{jobs, doc.Definitions()};
};

// A raw record as a load job leaves it: ID, value, active 1.
CNVItem Raw(int id, const Bytes& value) {
    CNVItem r;
    r.SetId(id);
    r.SetActive(1);
    r.SetValue(value);
    return r;
}
}  // namespace

TEST_F(DocCompletion, ElementsGoToTheIndexTheyCarryAndBadOnesAreReported) {
    // Item 20 (four 3-byte elements): 3 (the last), then 1 twice, then 4 (one past the end),
    // then one without index.
    items.Add(Raw(20, {3, 0xA, 0xB, 0xC}));
    items.Add(Raw(10, {1, 2}));
    items.Add(Raw(20, {1, 0x1}));  // shorter than the element: zero filled
    items.Add(Raw(20, {1, 0x2, 0x2, 0x2}));
    items.Add(Raw(20, {4, 0x4}));
    items.Add(Raw(20, {}));
    items.Add(Raw(99, {1}));
    completion.CompleteArrayElements(items);
    ASSERT_TRUE(completion.StartFillUp(items, 0).IsCompleted());
    items.SortById();
    CNVItemArray want;
    want.Add(Item(10, -1, {1, 2, 0, 0}));
    AddArray(want, 20, {{1, {1, 0, 0}}, {3, {0xA, 0xB, 0xC}}});
    EXPECT_EQ(items, want);
    std::vector<std::string> notes;
    for (const SNote& note : jobs.TakeNotes()) notes.push_back(note.text);
    EXPECT_EQ(notes,
              (std::vector<std::string>{
                  "NV Item ID = 20 holds element 1 more than once; the first one was kept.",
                  "NV Item ID = 20: element 4 lies outside the 4 elements of its definition and was left out.",
                  "NV Item ID = 20: an element record without its index byte was left out.",
                  "NV Item ID = 99 \n Is not defined in NVItemsDefine.def file\n So it can't be edit by Tessiva"}));
}

TEST_F(DocCompletion, ContiguousElementsKeepTheirOrderAndMissingOnesAreAppended) {
    items.Add(Raw(70, {0, 1, 1, 1}));
    items.Add(Raw(70, {1, 2, 2, 2}));
    items.Add(Raw(10, {4, 4, 4, 4}));
    completion.CompleteArrayElements(items);
    ASSERT_EQ(items.GetSize(), 4);
    EXPECT_EQ(items[0].Index(), 0);
    EXPECT_EQ(items[1].Value(), (Bytes{2, 2, 2}));
    EXPECT_EQ(items[2].Id(), 10);
    const CNVItem& appended = items[3];
    EXPECT_EQ(appended.Index(), 2);
    EXPECT_EQ(appended.Active(), 0);
    EXPECT_EQ(appended.Value(), (Bytes{0, 0, 0}));
    EXPECT_EQ(appended.Count(), 3);
    EXPECT_EQ(appended.Group(), "GroupC");
    EXPECT_EQ(appended.Name(), "Three [ 2 ]");
}

TEST_F(DocCompletion, FillUpSizesPlainItemsAndExpandsWholeArrays) {
    items.Add(Raw(10, Seq(10)));  // bytes past the definition's 4 stay
    items.Add(Raw(50, Seq(3)));   // extended with zeros to 5
    items.Add(Raw(60, {}));       // a definition of size 0 gives one byte
    Bytes slots;
    for (int k = 0; k < 3; ++k) PutPadded(slots, Seq(3, 10 * (k + 1)), 128);
    items.Add(Raw(20, slots));  // three slots of a four-element item
    Bytes one;
    PutPadded(one, {0xEE, 5, 6, 7}, 128);
    items.Add(Raw(70, one));  // one slot: read from its second byte
    ASSERT_TRUE(completion.StartFillUp(items, 1).IsCompleted());
    items.SortById();
    CNVItemArray want;
    want.Add(Item(10, -1, Seq(10)));
    AddArray(want, 20, {{0, Seq(3, 10)}, {1, Seq(3, 20)}, {2, Seq(3, 30)}});
    want.Add(Item(50, -1, {1, 2, 3, 0, 0}));
    want.Add(Item(60, -1, {0}));
    AddArray(want, 70, {{0, {5, 6, 7}}});
    EXPECT_EQ(items, want);
    EXPECT_EQ(frontend.captions.back(), "Filling up information about NV Items");
}

TEST_F(DocCompletion, StopAtTheFirstQuestionUsesItsOwnText) {
    items.Add(Raw(10, Seq(4)));
    frontend.cancelAtStart = true;
    frontend.answers = {true};
    EXPECT_FALSE(completion.StartFillUp(items, 0).IsCompleted());
    EXPECT_EQ(frontend.Questions(),
              (std::vector<std::string>{"Are you sure you want to stop filling up information about NV Items./n All NV "
                                        "Items will be removed from memory on PC side!"}));
}
