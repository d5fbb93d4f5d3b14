// The edit history against a reference model: seeded random runs of edits, moves, sorts,
// copies, merges, saves, undo and redo, checked after every step. The model keeps every
// version the document went through and where it stands among them; undo and redo must
// give back exactly the neighbouring version, records, both trees and the modified flag.
#include "doc_files_fixture.h"

#include <cstdint>
#include <deque>
#include <map>
#include <sstream>

namespace {
struct SVersion {
    CNVItemArray items;
    std::vector<CTreeEntry> all, selected;
    bool modified = false;
    bool operator==(const SVersion&) const = default;
};

void PrintTo(const SVersion& v, std::ostream* os) {
    *os << (v.modified ? "modified" : "unmodified") << " all";
    for (const CTreeEntry& e : v.all) *os << ' ' << e.name << '@' << e.itemIndex;
    *os << " selected";
    for (const CTreeEntry& e : v.selected) *os << ' ' << e.name << '@' << e.itemIndex;
    ::PrintTo(v.items, os);
}

// (ID, element index) -> value: what the records hold, whatever their order.
using ValueMap = std::map<std::pair<int, int>, Bytes>;
ValueMap ValuesOf(const CNVItemArray& items) {
    ValueMap map;
    for (const CNVItem& r : items) map[{r.Id(), r.Index()}] = r.Value();
    return map;
}

class CAllPrompt : public IOverwritePrompt {
public:
    int Ask(const std::string&) override { return kOverwriteAll; }
};

class DocHistory : public DocFiles {
protected:
    void SetUp() override {
        DocFiles::SetUp();
        doc.SetOverwritePrompt(&prompt);
    }

    SVersion Now() const {
        return {doc.Items(), doc.Entries(CTessivaDoc::ETree::Items).Entries(), doc.Entries(CTessivaDoc::ETree::Selected).Entries(), doc.IsModified()};
    }
    // Every record of items 10, 20, 30, 50 and 70, all active, values tagged.
    CNVItemArray Records(uint8_t tag) const {
        CNVItemArray list;
        list.Add(Item(10, -1, {tag, 0, 0, 1}));
        AddArray(list, 20, {{0, {tag, 2, 0}}, {1, {tag, 2, 1}}, {2, {tag, 2, 2}}, {3, {tag, 2, 3}}});
        list.Add(Item(30, -1, Bytes(128, tag)));
        list.Add(Item(50, -1, {tag, 5, 5, 5, 5}));
        AddArray(list, 70, {{0, {tag, 7, 0}}, {1, {tag, 7, 1}}, {2, {tag, 7, 2}}});
        return list;
    }

    // A small deterministic generator: the same seed gives the same run on every library.
    uint32_t Next() {
        m_state = m_state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(m_state >> 33);
    }
    int Pick(int n) { return n > 0 ? static_cast<int>(Next() % static_cast<uint32_t>(n)) : 0; }

    void Run(uint64_t seed, int steps);

    CAllPrompt prompt;
    uint64_t m_state = 0;
};

void DocHistory::Run(uint64_t seed, int steps) {
    m_state = seed;
    SetItems(Records(0x10));
    // Two files to merge, of other values and partly other records.
    CNVItemArray other = Records(0x20);
    other.RemoveAt(other.FindById(50));
    ASSERT_TRUE(doc.SaveBackup(Path("m1.cnv"), CTessivaDoc::EScope::AllActive).IsCompleted());
    SetItems(other);
    ASSERT_TRUE(doc.SaveBackup(Path("m2.cnv")).IsCompleted());
    const ValueMap fileValues[] = {ValuesOf(Records(0x10)), ValuesOf(other)};
    const CNVItemArray copySource = Records(0x30);
    SetItems(Records(0x10));

    std::vector<SVersion> versions{Now()};
    size_t at = 0;
    std::deque<std::string> log;  // the last steps, to tell how a failure came about
    const auto edited = [&](const SVersion& now) {
        versions.resize(at + 1);
        versions.push_back(now);
        if (versions.size() > CEditHistory::kLimit + 1) versions.erase(versions.begin());
        at = versions.size() - 1;
    };

    for (int step = 0; step < steps; ++step) {
        const SVersion before = Now();
        ASSERT_EQ(before, versions[at]);
        std::ostringstream what;
        const int kind = Pick(100);
        if (kind < 22) {
            const bool undo = kind < 14;
            what << (undo ? "undo" : "redo");
            const bool can = undo ? at > 0 : at + 1 < versions.size();
            EXPECT_EQ(undo ? doc.History().CanUndo() : doc.History().CanRedo(), can);
            EXPECT_EQ((undo ? doc.Undo() : doc.Redo()).IsCompleted(), can);
            if (can) at = undo ? at - 1 : at + 1;
        } else if (kind < 25) {
            // A run of undos: deep into the history, where the oldest steps are.
            const int n = 1 + Pick(40);
            what << "undo x" << n;
            for (int i = 0; i < n && at > 0; ++i, --at) ASSERT_TRUE(doc.Undo().IsCompleted());
        } else if (kind < 62) {
            const int index = Pick(before.items.GetSize());
            const CNVItem& r = before.items[index];
            Bytes bytes(static_cast<size_t>(1 + Pick(r.Size())));
            for (uint8_t& b : bytes) b = static_cast<uint8_t>(Next());
            what << "value of " << r.Name() << " (" << index << ")";
            ASSERT_TRUE(doc.SetValue(index, bytes).IsCompleted());
            SVersion want = before;
            Bytes value = r.Value();
            std::copy(bytes.begin(), bytes.end(), value.begin());
            want.items[index].SetValue(value);
            want.items[index].SetActive(CNVItem::kActive);
            want.modified = true;
            ASSERT_EQ(Now(), want);
            edited(want);
        } else if (kind < 82) {
            const bool fromItems = Pick(2) == 0;
            std::vector<CTreeEntry> source = fromItems ? before.all : before.selected;
            std::vector<CTreeEntry> target = fromItems ? before.selected : before.all;
            if (source.empty()) continue;
            const std::string group = source[static_cast<size_t>(Pick(static_cast<int>(source.size())))].group;
            std::vector<std::string> names;
            std::vector<CTreeEntry> moved;
            for (const CTreeEntry& e : source)
                if (e.group == group && Pick(2) == 0) names.push_back(e.name);
            if (names.empty()) {
                for (const CTreeEntry& e : source)
                    if (e.group == group) moved.push_back(e);
            } else {
                for (const std::string& name : names)
                    moved.push_back(*std::find_if(source.begin(), source.end(), [&](const CTreeEntry& e) { return e.name == name; }));
            }
            what << "move " << (names.empty() ? "group " : "") << group << " x" << moved.size() << (fromItems ? " in" : " out");
            ASSERT_TRUE(doc.MoveEntries(fromItems ? CTessivaDoc::ETree::Items : CTessivaDoc::ETree::Selected, group, names)
                            .IsCompleted());
            for (const CTreeEntry& e : moved) {
                source.erase(std::find(source.begin(), source.end(), e));
                // Named records back in "NV Items" take their place: after the group's entries of
                // earlier records, or where the record is among all when the group is gone.
                auto at = target.end();
                if (!fromItems && !names.empty()) {
                    const auto later = [&](const CTreeEntry& t) { return t.itemIndex > e.itemIndex; };
                    bool grouped = false;
                    for (auto it = target.begin(); it != target.end(); ++it) {
                        if (it->group != e.group) continue;
                        grouped = true;
                        if (later(*it)) {
                            at = it;
                            break;
                        }
                        at = it + 1;
                    }
                    if (!grouped) at = std::find_if(target.begin(), target.end(), later);
                }
                target.insert(at, e);
            }
            SVersion want = before;
            (fromItems ? want.all : want.selected) = source;
            (fromItems ? want.selected : want.all) = target;
            want.modified = true;
            ASSERT_EQ(Now(), want);
            edited(want);
        } else if (kind < 89) {
            const int column = Pick(7);
            what << "sort " << column;
            ASSERT_TRUE(doc.Sort(static_cast<CTessivaDoc::ESortColumn>(column)).IsCompleted());
            const SVersion now = Now();
            // The same records, the same ones selected, and the order is no change.
            EXPECT_EQ(ValuesOf(now.items), ValuesOf(before.items));
            EXPECT_EQ(now.selected.size(), before.selected.size());
            EXPECT_EQ(now.all.size() + now.selected.size(), before.all.size() + before.selected.size());
            EXPECT_EQ(now.modified, before.modified);
            edited(now);
        } else if (kind < 98) {
            std::vector<const CNVItem*> copies;
            for (const CNVItem& r : copySource)
                if (Pick(3) == 0) copies.push_back(&r);
            what << "copy x" << copies.size();
            ASSERT_TRUE(doc.CopyFrom(copies).IsCompleted());
            ValueMap want = ValuesOf(before.items);
            for (const CNVItem* r : copies) want[{r->Id(), r->Index()}] = r->Value();
            const SVersion now = Now();
            EXPECT_EQ(ValuesOf(now.items), want);
            EXPECT_EQ(now.selected.size(), before.selected.size());
            if (copies.empty()) {
                EXPECT_EQ(now, before);  // nothing to copy is no step
                continue;
            }
            EXPECT_TRUE(now.modified);
            edited(now);
        } else if (kind < 99) {
            const int file = Pick(2);
            what << "merge m" << file + 1;
            ASSERT_TRUE(doc.Merge(Path(file ? "m2.cnv" : "m1.cnv")).IsCompleted());
            ValueMap want = ValuesOf(before.items);
            for (const auto& [key, value] : fileValues[file]) want[key] = value;
            const SVersion now = Now();
            EXPECT_EQ(ValuesOf(now.items), want);
            EXPECT_TRUE(now.modified);
            edited(now);
        } else {
            // A whole save: this version is the file's; every other one differs from it.
            what << "save";
            ASSERT_TRUE(doc.SaveBackup(Path("saved.cnv")).IsCompleted());
            for (SVersion& v : versions) v.modified = true;
            versions[at].modified = false;
        }
        log.push_back(what.str());
        if (log.size() > 12) log.pop_front();
        std::string trail;
        for (const std::string& s : log) trail += "\n  " + s;
        ASSERT_EQ(Now(), versions[at]) << "seed " << seed << ", step " << step << ", the last steps:" << trail;
        ASSERT_EQ(doc.History().CanUndo(), at > 0) << "seed " << seed << ", step " << step << trail;
        ASSERT_EQ(doc.History().CanRedo(), at + 1 < versions.size()) << "seed " << seed << ", step " << step << trail;
        if (HasFatalFailure()) return;
    }
    // A load starts the history anew.
    ASSERT_TRUE(doc.LoadBackup(Path("m1.cnv")).IsCompleted());
    EXPECT_FALSE(doc.History().CanUndo());
    EXPECT_FALSE(doc.History().CanRedo());
    EXPECT_FALSE(doc.Undo().IsCompleted());
}
}  // namespace

TEST_F(DocHistory, RandomRunsMatchTheModelAfterEveryStep) {
    // Merges and saves are jobs, slow beside the rest: one step in a hundred each.
    for (uint64_t seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        Run(seed, 1000);
        if (HasFatalFailure()) return;
    }
}

// The shortest run of the kind that hides a stale step: undo, a new edit, undo again.
TEST_F(DocHistory, UndoAfterANewEditNeverBringsBackAnUndoneValue) {
    SetItems(Records(0x10));
    ASSERT_TRUE(doc.SetValue(0, {1}).IsCompleted());
    ASSERT_TRUE(doc.SetValue(0, {2}).IsCompleted());
    ASSERT_TRUE(doc.Undo().IsCompleted());
    ASSERT_TRUE(doc.SetValue(0, {3}).IsCompleted());
    ASSERT_TRUE(doc.Undo().IsCompleted());
    EXPECT_EQ(doc.Items()[0].Value()[0], 1);
    ASSERT_TRUE(doc.Undo().IsCompleted());
    EXPECT_EQ(doc.Items()[0].Value()[0], 0x10);
    EXPECT_FALSE(doc.Undo().IsCompleted());
    ASSERT_TRUE(doc.Redo().IsCompleted());
    ASSERT_TRUE(doc.Redo().IsCompleted());
    EXPECT_EQ(doc.Items()[0].Value()[0], 3);
    EXPECT_FALSE(doc.Redo().IsCompleted());
}
