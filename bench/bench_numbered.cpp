// The numbered-items backup: load (read, detect, decode) and save (encode, write) of a
// 20,000-record file, in both forms.
#include "backup_tree.h"
#include "bench_support.h"
#include "numbered_backup.h"

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

void BM_NumberedSaveQcn(benchmark::State& state) { Save(state, EBackupForm::Compound, ".qcn"); }
void BM_NumberedLoadQcn(benchmark::State& state) { Load(state, EBackupForm::Compound, ".qcn"); }
void BM_NumberedSaveXqcn(benchmark::State& state) { Save(state, EBackupForm::Xml, ".xqcn"); }
void BM_NumberedLoadXqcn(benchmark::State& state) { Load(state, EBackupForm::Xml, ".xqcn"); }
}  // namespace

BENCHMARK(BM_NumberedSaveQcn)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberedLoadQcn)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberedSaveXqcn)->Arg(20000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NumberedLoadXqcn)->Arg(20000)->Unit(benchmark::kMillisecond);
