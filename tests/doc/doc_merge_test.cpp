#include "doc_files_fixture.h"

#include "doc/item_merge.h"

#include <deque>

namespace {
// Answers from a script; records every message. An empty script answers as a prompt closed
// without a button does: Skip.
class CScriptedPrompt : public IOverwritePrompt {
public:
    int Ask(const std::string& message) override {
        messages.push_back(message);
        if (answers.empty()) return kSkip;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<int> answers;
    std::vector<std::string> messages;
};

class DocMerge : public DocFiles {
protected:
    void SetUp() override {
        DocFiles::SetUp();
        doc.SetOverwritePrompt(&prompt);
    }
    // previous: items 10 and 50 and the three elements of 70, values tagged 0xA0.. ;
    // loaded: items 10, 30 and 70, tagged 0xB0.. .
    bool TryMerge() {
        CNVItemArray previous, loaded;
        previous.Add(Item(10, -1, {0xA0, 0, 0, 0}));
        previous.Add(Item(50, -1, {0xA5, 0, 0, 0, 0}));
        AddArray(previous, 70, {{0, {0xA0, 0, 0}}, {1, {0xA1, 0, 0}}, {2, {0xA2, 0, 0}}});
        loaded.Add(Item(10, -1, {0xB0, 0, 0, 0}));
        loaded.Add(Item(30, -1, Bytes(128, 0xB3)));
        AddArray(loaded, 70, {{0, {0xB0, 0, 0}}, {1, {0xB1, 0, 0}}, {2, {0xB2, 0, 0}}});
        return MergeInto(std::move(loaded), previous);
    }
    // Merges previous into loaded as "Add NV Items from CNV File" does, asking the prompt;
    // merged is previous again when it was cancelled.
    bool MergeInto(CNVItemArray loaded, const CNVItemArray& previous) {
        std::optional<CNVItemArray> result = MergeItemArrays(std::move(loaded), previous, asking);
        merged = result ? std::move(*result) : previous;
        merged.SortById();
        return result.has_value();
    }
    void Merge() { ASSERT_TRUE(TryMerge()); }
    // The first value byte of each record, in order: which side each record came from.
    std::vector<int> Tags() const {
        std::vector<int> tags;
        for (const auto& r : merged) tags.push_back(r.Value()[0]);
        return tags;
    }
    CScriptedPrompt prompt;
    IOverwritePrompt* asking = &prompt;  // the prompt a merge asks
    CNVItemArray merged;
};
}  // namespace

TEST_F(DocMerge, EachAnswerDecidesItsRecordAndTheAllAnswersEndTheAsking) {
    using P = IOverwritePrompt;
    const struct {
        std::deque<int> answers;  // then closed: the record in memory stays
        size_t asked;
        std::vector<int> tags;
        bool merged = true;
    } cases[] = {
        {{P::kOverwrite, P::kOverwrite, P::kSkip, P::kOverwrite}, 4, {0xB0, 0xB3, 0xA5, 0xB0, 0xA1, 0xB2}},
        {{P::kOverwriteAll}, 1, {0xB0, 0xB3, 0xA5, 0xB0, 0xB1, 0xB2}},
        {{P::kOverwrite, P::kSkipAll}, 2, {0xB0, 0xB3, 0xA5, 0xA0, 0xA1, 0xA2}},
        {{P::kSkip}, 4, {0xA0, 0xB3, 0xA5, 0xA0, 0xA1, 0xA2}},
        {{P::kOverwrite}, 4, {0xB0, 0xB3, 0xA5, 0xA0, 0xA1, 0xA2}},
        // Cancel, even after an Overwrite: the records of before, nothing merged.
        {{P::kOverwrite, P::kCancel}, 2, {0xA0, 0xA5, 0xA0, 0xA1, 0xA2}, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::PrintToString(c.answers));
        CScriptedPrompt scripted;
        scripted.answers = c.answers;
        asking = &scripted;
        EXPECT_EQ(TryMerge(), c.merged);
        EXPECT_EQ(scripted.messages.size(), c.asked);
        EXPECT_EQ(Tags(), c.tags);
    }
}

TEST_F(DocMerge, TheQuestionNamesTheRecordAndElementsKeepTheirIndex) {
    Merge();
    ASSERT_EQ(prompt.messages.size(), 4u);
    EXPECT_EQ(prompt.messages[0], "NV Item already exist in memory!\n\nID = 10\n\nNVItem Name: Plain\n\nNVItem Group: GroupA");
    EXPECT_EQ(prompt.messages[2],
              "NV Item already exist in memory!\n\nID = 70\n\nNVItem Name: Three [ 1 ]\n\nNVItem Group: GroupC");
    for (int k = 0; k < 3; ++k) EXPECT_EQ(merged[3 + k].Index(), k);
}

TEST_F(DocMerge, NoCommonIdsAskNothing) {
    CNVItemArray previous;
    previous.Add(Item(50, -1, Seq(5)));
    CNVItemArray loaded;
    loaded.Add(Item(10, -1, Seq(4)));
    ASSERT_TRUE(MergeInto(std::move(loaded), previous));
    EXPECT_TRUE(prompt.messages.empty());
    ASSERT_EQ(merged.GetSize(), 2);
    EXPECT_EQ(merged[0].Id(), 10);
}

TEST_F(DocMerge, AddFromCnvLoadsThenMerges) {
    CNVItemArray items;
    items.Add(Item(10, -1, {1, 1, 1, 1}));
    SetItems(items);
    ASSERT_TRUE(doc.SaveBackup(Path("add.cnv")).IsCompleted());
    items.RemoveAll();
    items.Add(Item(10, -1, {2, 2, 2, 2}));
    items.Add(Item(50, -1, Seq(5)));
    SetItems(items);
    prompt.answers = {IOverwritePrompt::kOverwrite};
    ASSERT_TRUE(doc.Merge(Path("add.cnv")).IsCompleted());
    CNVItemArray want;
    want.Add(Item(10, -1, {1, 1, 1, 1}));
    want.Add(Item(50, -1, Seq(5)));
    EXPECT_EQ(doc.Items(), want);
    EXPECT_TRUE(doc.IsModified());
    // One undo step gives back the records before the merge, unmodified.
    ASSERT_TRUE(doc.Undo().IsCompleted());
    EXPECT_EQ(doc.Items(), items);
    EXPECT_FALSE(doc.IsModified());
    ASSERT_TRUE(doc.Redo().IsCompleted());
    EXPECT_EQ(doc.Items(), want);
}

TEST_F(DocMerge, AnElementOnceReplacedLeavesNothingToAskAbout) {
    // Only 20[0] was there: once it is overwritten, the file's 20[1] conflicts with nothing
    // and is kept whatever the next answer would have been.
    CNVItemArray previous;
    previous.Add(Item(20, 0, {0xA0, 0, 0}));
    CNVItemArray loaded;
    loaded.Add(Item(20, 0, {0xB0, 0, 0}));
    loaded.Add(Item(20, 1, {0xB1, 0, 0}));
    prompt.answers = {IOverwritePrompt::kOverwrite, IOverwritePrompt::kSkip};
    ASSERT_TRUE(MergeInto(std::move(loaded), previous));
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(Tags(), (std::vector<int>{0xB0, 0xB1}));
}
