#include "doc_files_fixture.h"

#include "doc/item_merge.h"

#include <deque>

namespace {
// Answers from a script; records every message. An empty script answers as Escape does:
// the last answer, or Overwrite.
class CScriptedPrompt : public IOverwritePrompt {
public:
    int Ask(const std::string& message) override {
        messages.push_back(message);
        if (!answers.empty()) {
            m_last = answers.front();
            answers.pop_front();
        }
        return m_last;
    }
    std::deque<int> answers;
    std::vector<std::string> messages;

private:
    int m_last = kOverwrite;
};

class DocMerge : public DocFiles {
protected:
    void SetUp() override {
        DocFiles::SetUp();
        doc.SetOverwritePrompt(&prompt);
    }
    // previous: items 10 and 50 and the three elements of 70, values tagged 0xA0.. ;
    // loaded: items 10, 30 and 70, tagged 0xB0.. .
    void Merge() {
        CNVItemArray previous, loaded;
        previous.Add(Item(10, -1, {0xA0, 0, 0, 0}));
        previous.Add(Item(50, -1, {0xA5, 0, 0, 0, 0}));
        AddArray(previous, 70, {{0, {0xA0, 0, 0}}, {1, {0xA1, 0, 0}}, {2, {0xA2, 0, 0}}});
        loaded.Add(Item(10, -1, {0xB0, 0, 0, 0}));
        loaded.Add(Item(30, -1, Bytes(128, 0xB3)));
        AddArray(loaded, 70, {{0, {0xB0, 0, 0}}, {1, {0xB1, 0, 0}}, {2, {0xB2, 0, 0}}});
        merged = MergeItemArrays(std::move(loaded), previous, asking);
        merged.SortById();
    }
    // The first value byte of each record, in order: which side each record came from.
    std::vector<int> Tags() const {
        std::vector<int> tags;
        for (const auto& r : merged) tags.push_back(r.Value()[0]);
        return tags;
    }
    CScriptedPrompt prompt;
    IOverwritePrompt* asking = &prompt;  // the prompt Merge() asks
    CNVItemArray merged;
};
}  // namespace

TEST_F(DocMerge, OverwriteAndSkipAnswersPerRecordReplaceTheSameElement) {
    prompt.answers = {IOverwritePrompt::kOverwrite, IOverwritePrompt::kOverwrite, IOverwritePrompt::kSkip,
                      IOverwritePrompt::kOverwrite};
    Merge();
    EXPECT_EQ(Tags(), (std::vector<int>{0xB0, 0xB3, 0xA5, 0xB0, 0xA1, 0xB2}));
    ASSERT_EQ(prompt.messages.size(), 4u);
    EXPECT_EQ(prompt.messages[0], "NV Item already exist in memory!\n\nID = 10\n\nNVItem Name: Plain\n\nNVItem Group: GroupA");
    EXPECT_EQ(prompt.messages[2],
              "NV Item already exist in memory!\n\nID = 70\n\nNVItem Name: Three [ 1 ]\n\nNVItem Group: GroupC");
    for (int k = 0; k < 3; ++k) EXPECT_EQ(merged[3 + k].Index(), k);
}

TEST_F(DocMerge, AllAnswersStopTheAsking) {
    prompt.answers = {IOverwritePrompt::kOverwriteAll};
    Merge();
    EXPECT_EQ(prompt.messages.size(), 1u);
    EXPECT_EQ(Tags(), (std::vector<int>{0xB0, 0xB3, 0xA5, 0xB0, 0xB1, 0xB2}));

    prompt.messages.clear();
    prompt.answers = {IOverwritePrompt::kOverwrite, IOverwritePrompt::kSkipAll};
    Merge();
    EXPECT_EQ(prompt.messages.size(), 2u);
    EXPECT_EQ(Tags(), (std::vector<int>{0xB0, 0xB3, 0xA5, 0xA0, 0xA1, 0xA2}));
}

TEST_F(DocMerge, EscapeActsAsTheLastAnswerAndNoCommonIdsAskNothing) {
    prompt.answers = {IOverwritePrompt::kSkip};  // then Escape: Skip again
    Merge();
    EXPECT_EQ(prompt.messages.size(), 4u);
    EXPECT_EQ(Tags(), (std::vector<int>{0xA0, 0xB3, 0xA5, 0xA0, 0xA1, 0xA2}));

    CScriptedPrompt fresh;  // Escape at the first prompt: Overwrite
    asking = &fresh;
    Merge();
    EXPECT_EQ(Tags(), (std::vector<int>{0xB0, 0xB3, 0xA5, 0xB0, 0xB1, 0xB2}));

    prompt.messages.clear();
    CNVItemArray previous;
    previous.Add(Item(50, -1, Seq(5)));
    CNVItemArray loaded;
    loaded.Add(Item(10, -1, Seq(4)));
    merged = MergeItemArrays(std::move(loaded), previous, &prompt);
    merged.SortById();
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
