// Item files: store and load of each kind, completion and fill-up, the merge, and moving a
// group between the trees' entry lists. Each runs at two sizes so that the growth shows.
#include "bench_support.h"
#include "doc/item_completion.h"
#include "doc/item_merge.h"
#include "doc/tessiva_doc.h"
#include "files/compound_file.h"

#include <benchmark/benchmark.h>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <fstream>
#include <malloc.h>
#include <unistd.h>
#include <string>

namespace {
class COverwriteAll : public IOverwritePrompt {
public:
    int Ask(const std::string&) override { return kOverwriteAll; }
};

constexpr int kIds = 5000;

// A document whose definitions have 5000 IDs: even IDs are plain items of 16 bytes, odd ones
// arrays of 8-byte elements, so many that the database holds `records` records; the document
// holds every record, active, as after a load.
struct SBenchDoc {
    explicit SBenchDoc(int records) {
        const int arrays = kIds / 2;
        const int elements = (records - (kIds - arrays)) / arrays;
        CNVItemArray defs, items;
        for (int id = 0; id < kIds; ++id) {
            CNVItem def;
            def.SetId(id);
            def.SetName("NV_ITEM_" + std::to_string(id) + "_I");
            def.SetGroup("Group " + std::to_string(id % 25));
            def.SetFileName("nvm/num/" + std::to_string(id));
            def.SetTypeName("uint8");
            const bool array = id % 2 == 1;
            def.SetCount(array ? elements : 0);
            def.Resize(array ? 8 : 16);
            for (int k = 0; k < (array ? elements : 1); ++k) {
                def.SetIndex(array ? k : -1);
                defs.Add(def);
                CNVItem item = def;
                item.SetName(array ? def.Name() + " [ " + std::to_string(k) + " ]" : def.Name());
                item.SetActive(1);
                for (int b = 0; b < item.Size(); ++b) item.ValueData()[b] = static_cast<uint8_t>(id + k + b);
                items.Add(item);
            }
        }
        doc.SetDefinitions(defs);
        if (!doc.SetRecords(std::move(items)).IsCompleted()) std::abort();
    }
    SBenchJobs bench;
    CTessivaDoc doc{bench.jobs};
};

void Sizes(benchmark::internal::Benchmark* b) {
    // The work runs on job threads: wall time is what counts.
    b->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond)->UseRealTime();
}

bool Save(CTessivaDoc& doc, const std::string& path) { return doc.SaveBackup(path).IsCompleted(); }
bool Open(CTessivaDoc& doc, const std::string& path) { return doc.LoadBackup(path).IsCompleted(); }

void Store(benchmark::State& state, const char* ext) {
    SBenchDoc bench(static_cast<int>(state.range(0)));
    const std::string path = BenchDir("files") + "/store" + ext;
    for (auto _ : state)
        if (!Save(bench.doc, path)) state.SkipWithError("save failed");
    state.SetItemsProcessed(state.iterations() * bench.doc.Items().GetSize());
    std::filesystem::remove(path);
}

void Load(benchmark::State& state, const char* ext) {
    SBenchDoc bench(static_cast<int>(state.range(0)));
    const std::string path = BenchDir("files") + "/load" + ext;
    if (!Save(bench.doc, path)) state.SkipWithError("save failed");
    const int records = bench.doc.Items().GetSize();
    for (auto _ : state) {
        (void)bench.doc.SetRecords({});
        if (!Open(bench.doc, path) || bench.doc.Items().GetSize() != records) state.SkipWithError("load failed");
    }
    state.SetItemsProcessed(state.iterations() * records);
    std::filesystem::remove(path);
}

// Resident memory that the loaded records take: the growth of the process while a CNV of
// that many records is loaded into an empty document, per record.
long ResidentBytes() {
    std::ifstream status("/proc/self/statm");
    long pages = 0, resident = 0;
    status >> pages >> resident;
    return resident * sysconf(_SC_PAGESIZE);
}

void BM_LoadedRecordMemory(benchmark::State& state) {
    SBenchDoc bench(static_cast<int>(state.range(0)));
    const std::string path = BenchDir("files") + "/memory.cnv";
    if (!Save(bench.doc, path)) state.SkipWithError("save failed");
    const int records = bench.doc.Items().GetSize();
    double perRecord = 0;
    for (auto _ : state) {
        (void)bench.doc.SetRecords({});
        malloc_trim(0);
        const long before = ResidentBytes();
        if (!Open(bench.doc, path)) state.SkipWithError("load failed");
        perRecord = static_cast<double>(ResidentBytes() - before) / records;
    }
    state.counters["bytes_per_record"] = perRecord;
    std::filesystem::remove(path);
}
BENCHMARK(BM_LoadedRecordMemory)->Arg(100000)->Arg(200000)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_StoreBrt(benchmark::State& state) { Store(state, ".brt"); }
void BM_StoreCnv(benchmark::State& state) { Store(state, ".cnv"); }
void BM_StoreQcn(benchmark::State& state) { Store(state, ".qcn"); }
void BM_LoadBrt(benchmark::State& state) { Load(state, ".brt"); }
void BM_LoadCnv(benchmark::State& state) { Load(state, ".cnv"); }
void BM_LoadQcn(benchmark::State& state) { Load(state, ".qcn"); }
BENCHMARK(BM_StoreBrt)->Apply(Sizes);
BENCHMARK(BM_LoadBrt)->Apply(Sizes);
BENCHMARK(BM_StoreCnv)->Apply(Sizes);
BENCHMARK(BM_LoadCnv)->Apply(Sizes);
BENCHMARK(BM_StoreQcn)->Apply(Sizes);
BENCHMARK(BM_LoadQcn)->Apply(Sizes);

// Compound files alone: a tree shaped as Tessiva's layout, one storage per item holding its
// 134-byte stream, all in one storage of `streams` children, written and read back whole.
CCompoundNode ItemTree(int streams) {
    CCompoundNode root;
    CCompoundNode& items = root.Storage("00000000").Storage("default");
    items.Children().reserve(static_cast<size_t>(streams));
    for (int id = 0; id < streams; ++id)
        items.Append(CCompoundNode(std::to_string(id), true)).Stream("0").SetBytes(std::vector<uint8_t>(134, uint8_t(id)));
    return root;
}

void CompoundSizes(benchmark::internal::Benchmark* b) {
    b->Arg(20000)->Arg(40000)->Arg(100000)->Arg(200000)->Unit(benchmark::kMillisecond);
}

void BM_CompoundSave(benchmark::State& state) {
    const CCompoundNode tree = ItemTree(static_cast<int>(state.range(0)));
    const std::string path = BenchDir("files") + "/compound.qcn";
    std::string error;
    for (auto _ : state)
        if (!CCompoundFile::Write(path, tree, error)) state.SkipWithError(error.c_str());
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove(path);
}

void BM_CompoundLoad(benchmark::State& state) {
    const std::string path = BenchDir("files") + "/compound.qcn";
    std::string error;
    if (!CCompoundFile::Write(path, ItemTree(static_cast<int>(state.range(0))), error)) state.SkipWithError(error.c_str());
    for (auto _ : state) {
        CCompoundNode tree;
        if (!CCompoundFile::Read(path, tree, error) || tree.CountBelow() != 2 + 2 * size_t(state.range(0)))
            state.SkipWithError(error.c_str());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove(path);
}
BENCHMARK(BM_CompoundSave)->Apply(CompoundSizes);
BENCHMARK(BM_CompoundLoad)->Apply(CompoundSizes);

// Raw element records as a CNV load leaves them (index byte first), in reverse index order
// so that every element is placed by its index; then the fill-up.
void BM_CompleteAndFillUp(benchmark::State& state) {
    SBenchDoc bench(static_cast<int>(state.range(0)));
    CNVItemArray raw;
    for (const auto& r : bench.doc.Items()) {
        CNVItem record;
        record.SetId(r.Id());
        record.SetActive(1);
        std::vector<uint8_t> value;
        if (r.Count() > 0) value.push_back(static_cast<uint8_t>(r.Count() - 1 - r.Index()));
        value.insert(value.end(), r.Value().begin(), r.Value().end());
        record.SetValue(value);
        raw.Add(record);
    }
    CItemCompletion completion(bench.bench.jobs, bench.doc.Definitions());
    CNVItemArray items;
    for (auto _ : state) {
        state.PauseTiming();
        items = raw;
        state.ResumeTiming();
        completion.CompleteArrayElements(items);
        if (!completion.StartFillUp(items, 0).IsCompleted()) state.SkipWithError("fill-up stopped");
    }
    state.SetItemsProcessed(state.iterations() * raw.GetSize());
}
BENCHMARK(BM_CompleteAndFillUp)->Apply(Sizes);

// Whole-array records in slots, as a BRT load leaves them, expanded by the fill-up.
void BM_FillUpWholeArrays(benchmark::State& state) {
    SBenchDoc bench(static_cast<int>(state.range(0)));
    CNVItemArray raw;
    for (const auto& r : bench.doc.Items()) {
        if (r.Index() > 0) continue;
        CNVItem record;
        record.SetId(r.Id());
        record.SetActive(1);
        record.Resize(128 * std::max(r.Count(), 1));
        raw.Add(record);
    }
    CItemCompletion completion(bench.bench.jobs, bench.doc.Definitions());
    CNVItemArray items;
    for (auto _ : state) {
        state.PauseTiming();
        items = raw;
        state.ResumeTiming();
        if (!completion.StartFillUp(items, 1).IsCompleted()) state.SkipWithError("fill-up stopped");
    }
    state.SetItemsProcessed(state.iterations() * items.GetSize());
}
BENCHMARK(BM_FillUpWholeArrays)->Apply(Sizes);

// Two databases of the same items: every record conflicts, "Overwrite all" at the first.
void BM_Merge(benchmark::State& state) {
    SBenchDoc bench(static_cast<int>(state.range(0)));
    COverwriteAll prompt;
    const CNVItemArray previous = bench.doc.Items();
    CNVItemArray loaded;
    for (auto _ : state) {
        state.PauseTiming();
        loaded = previous;
        state.ResumeTiming();
        std::optional<CNVItemArray> merged = MergeItemArrays(std::move(loaded), previous, &prompt);
        merged->SortById();  // all overwritten: never cancelled
        benchmark::DoNotOptimize(merged);
    }
    state.SetItemsProcessed(state.iterations() * previous.GetSize() * 2);
}
BENCHMARK(BM_Merge)->Apply(Sizes);

// A group of range(0) / 10 entries moved to "Selected NV Items" and back (10,000 of 100,000);
// with lookup, the first name lookup after the move, which rebuilds the list's name index.
void MoveGroup(benchmark::State& state, bool lookup) {
    const int records = static_cast<int>(state.range(0));
    CTreeEntryList all, selected;
    for (int i = 0; i < records; ++i)
        all.AddEntry("NV_ITEM_" + std::to_string(i), i % 10 == 3 ? "Moved" : "Group " + std::to_string(i % 10), i);
    for (auto _ : state) {
        selected.AddGroupEntriesFrom(all, "Moved");
        all.RemoveGroupEntries("Moved");
        all.AddGroupEntriesFrom(selected, "Moved");
        selected.RemoveGroupEntries("Moved");
        if (lookup) benchmark::DoNotOptimize(all.FindItemIndexByName("NV_ITEM_3"));
    }
    state.SetItemsProcessed(state.iterations() * records / 10 * 2);
}
void BM_MoveGroupEntries(benchmark::State& state) { MoveGroup(state, false); }
void BM_MoveGroupEntriesThenLookup(benchmark::State& state) { MoveGroup(state, true); }
BENCHMARK(BM_MoveGroupEntries)->Apply(Sizes);
BENCHMARK(BM_MoveGroupEntriesThenLookup)->Apply(Sizes);
}  // namespace
