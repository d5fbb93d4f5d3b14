#include "doc_files_fixture.h"
#include "doc/tree_entry_list.h"

#include <algorithm>

namespace {
using DocEntries = DocFiles;

std::vector<std::string> Names(const CTreeEntryList& list) {
    std::vector<std::string> names;
    for (const auto& e : list.Entries()) names.push_back(e.name);
    return names;
}
}  // namespace

TEST_F(DocEntries, LoadRemoveFindAndMoveGroupsKeepOrder) {
    CNVItemArray items;
    items.Add(Item(10, -1, Seq(4)));
    AddArray(items, 70, {});
    items.Add(Item(50, -1, Seq(5)));
    SetItems(items);
    CTreeEntryList all = doc.Entries(CTessivaDoc::ETree::Items);
    ASSERT_EQ(all.GetCount(), 5);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(all.GetAt(i).itemIndex, i);

    all.AddEntry("Plain", "GroupX", 9);  // a name listed twice
    EXPECT_EQ(all.FindItemIndexByName("Plain"), 0);
    all.RemoveEntryByName("Plain");
    EXPECT_EQ(all.FindItemIndexByName("Plain"), 9);
    EXPECT_EQ(all.FindItemIndexByName("Nothing"), -1);

    CTreeEntryList selected;
    selected.AddGroupEntriesFrom(all, "GroupC");
    all.RemoveGroupEntries("GroupC");
    EXPECT_EQ(Names(selected), (std::vector<std::string>{"Five", "Three [ 0 ]", "Three [ 1 ]", "Three [ 2 ]"}));
    EXPECT_EQ(Names(all), (std::vector<std::string>{"Plain"}));
}

TEST_F(DocEntries, CollectSelectedItemsFollowsEntryOrder) {
    CNVItemArray items;
    for (int id : {10, 30, 50, 60}) items.Add(Item(id, -1, Seq(2)));
    SetItems(items);
    using ETree = CTessivaDoc::ETree;
    ASSERT_TRUE(doc.MoveEntries(ETree::Items, "GroupC", {"Zero"}).IsCompleted());
    ASSERT_TRUE(doc.MoveEntries(ETree::Items, "GroupB", {"Big"}).IsCompleted());
    CNVItemArray list = doc.SelectedItems();
    ASSERT_EQ(list.GetSize(), 2);
    EXPECT_EQ(list[0], doc.Items()[3]);
    EXPECT_EQ(list[1], doc.Items()[1]);
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Items).FindItemIndexByName("Big"), -1);
    ASSERT_TRUE(doc.MoveEntries(ETree::Selected, "GroupC", {}).IsCompleted());
    ASSERT_TRUE(doc.MoveEntries(ETree::Selected, "GroupB", {}).IsCompleted());
    EXPECT_TRUE(doc.SelectedItems().IsEmpty());
    EXPECT_EQ(doc.Entries(CTessivaDoc::ETree::Items).FindItemIndexByName("Big"), 1);
}

TEST_F(DocEntries, ARecordMovedBackTakesItsPlaceInItsGroup) {
    CNVItemArray items;
    items.Add(Item(10, -1, Seq(4)));
    AddArray(items, 70, {});
    items.Add(Item(50, -1, Seq(5)));
    SetItems(items);
    using ETree = CTessivaDoc::ETree;
    const std::vector<std::string> before = Names(doc.Entries(CTessivaDoc::ETree::Items));
    // Each record of the list out and back, alone: the list is as it was each time.
    for (const std::string& name : before) {
        const auto& entries = doc.Entries(CTessivaDoc::ETree::Items).Entries();
        const auto it = std::find_if(entries.begin(), entries.end(), [&](const CTreeEntry& e) { return e.name == name; });
        ASSERT_NE(it, entries.end());
        const std::string group = it->group;
        ASSERT_TRUE(doc.MoveEntries(ETree::Items, group, {name}).IsCompleted());
        ASSERT_TRUE(doc.MoveEntries(ETree::Selected, group, {name}).IsCompleted());
        EXPECT_EQ(Names(doc.Entries(CTessivaDoc::ETree::Items)), before) << name;
    }
}
