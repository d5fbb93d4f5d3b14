// The numbered-items backup: load (read, detect, decode) and save (encode, write) of a
// 20,000-record file, in both forms; then the document's load and save of it, beside a
// CNV load of the same records for comparison.
#include "files/backup_tree.h"
#include "bench_support.h"
#include "files/numbered_backup.h"
#include "doc/tessiva_doc.h"

#include <benchmark/benchmark.h>
#include <filesystem>

namespace {
SNumberedBackup Backup(int records) {
    SNumberedBackup backup;
    for (int i = 0; i < records; ++i) {
        SNumberedRecord r;
        r.id = static_cast<uint32_t>(i / 4);  // four elements per ID, as arrays give
        r.data[0] = static_cast<uint8_t>(i % 4);
        for (size_t b = 1; b < r.data.size(); ++b) r.data[b] = static_cast<uint8_t>(i + b);
        backup.records.push_back(r);
    }
    return backup;
}

void Save(benchmark::State& state, EBackupForm form, const char* ext) {
    SNumberedBackup backup = Backup(static_cast<int>(state.range(0)));
    const std::string path = BenchDir("numbered") + "/save" + ext;
    std::string error;
    for (auto _ : state) {
        CCompoundNode tree;
        if (!EncodeNumbered(backup, tree, error) || !WriteBackupTree(path, tree, form, error)) state.SkipWithError(error.c_str());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove(path);
}

void Load(benchmark::State& state, EBackupForm form, const char* ext) {
    const std::string path = BenchDir("numbered") + "/load" + ext;
    std::string error, found;
    CCompoundNode tree;
    if (!EncodeNumbered(Backup(static_cast<int>(state.range(0))), tree, error) || !WriteBackupTree(path, tree, form, error))
        state.SkipWithError(error.c_str());
    for (auto _ : state) {
        EBackupForm read{};
        SNumberedBackup backup;
        if (!ReadBackupTree(path, tree, read, error) || DetectQcnLayout(tree, found) != EQcnLayout::Numbered ||
            !DecodeNumbered(tree, backup, error) || backup.records.size() != static_cast<size_t>(state.range(0)))
            state.SkipWithError("load failed");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
    std::filesystem::remove(path);
}

// Definitions for Backup(): IDs of four 64-byte elements each, one entry per element as the
// definitions reader gives them.
struct SNumberedDoc {
    explicit SNumberedDoc(int records) {
        CNVItemArray defs;
        for (int id = 0; id < (records + 3) / 4; ++id) {
            CNVItem def;
            def.SetId(id);
            def.SetName("NV_ITEM_" + std::to_string(id) + "_I");
            def.SetGroup("Group " + std::to_string(id % 25));
            def.SetTypeName("uint8");
            def.SetCount(4);
            def.Resize(64);
            for (int k = 0; k < 4; ++k) {
                def.SetIndex(k);
                defs.Add(def);
            }
        }
        doc.SetDefinitions(defs);
        std::string error;
        CCompoundNode tree;
        numbered = BenchDir("numbered") + "/doc.qcn";
        cnv = BenchDir("numbered") + "/doc.cnv";
        if (!EncodeNumbered(Backup(records), tree, error) || !WriteBackupTree(numbered, tree, EBackupForm::Compound, error))
            ok = false;
        ok = ok && doc.LoadBackup(numbered).IsCompleted() && doc.SaveBackup(cnv).IsCompleted();
    }
    SBenchJobs bench;
    CTessivaDoc doc{bench.jobs};
    std::string numbered, cnv;
    bool ok = true;
};

void DocLoad(benchmark::State& state, bool fromCnv) {
    SNumberedDoc bench(static_cast<int>(state.range(0)));
    if (!bench.ok) state.SkipWithError("setup failed");
    for (auto _ : state)
        if (!bench.doc.LoadBackup(fromCnv ? bench.cnv : bench.numbered).IsCompleted()) state.SkipWithError("load failed");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_DocLoadNumbered(benchmark::State& state) { DocLoad(state, false); }
void BM_DocLoadCnvOfTheSameRecords(benchmark::State& state) { DocLoad(state, true); }

void BM_DocSaveNumbered(benchmark::State& state) {
    SNumberedDoc bench(static_cast<int>(state.range(0)));
    if (!bench.ok || !bench.doc.LoadBackup(bench.numbered).IsCompleted()) state.SkipWithError("setup failed");
    const std::string path = BenchDir("numbered") + "/doc-save.qcn";
    for (auto _ : state)
        if (!bench.doc.SaveBackup(path).IsCompleted()) state.SkipWithError("save failed");
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_NumberedSaveQcn(benchmark::State& state) { Save(state, EBackupForm::Compound, ".qcn"); }
void BM_NumberedLoadQcn(benchmark::State& state) { Load(state, EBackupForm::Compound, ".qcn"); }
void BM_NumberedSaveXqcn(benchmark::State& state) { Save(state, EBackupForm::Xml, ".xqcn"); }
void BM_NumberedLoadXqcn(benchmark::State& state) { Load(state, EBackupForm::Xml, ".xqcn"); }
}  // namespace

BENCHMARK(BM_NumberedSaveQcn)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberedLoadQcn)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberedSaveXqcn)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberedLoadXqcn)->Arg(20000)->Unit(benchmark::kMillisecond);
// The document's work runs on job threads: wall time is what counts.
BENCHMARK(BM_DocLoadNumbered)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DocLoadCnvOfTheSameRecords)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DocSaveNumbered)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();
