// Item model: reading NVItemsDefine.def and sorting it, importing NVTypesDefine.def.
// Each runs at two sizes so that the growth with the input shows.
#include "bench_support.h"
#include "model/nv_define_reader.h"
#include "model/nv_type_catalog.h"
#include "files/nv_types_file.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {
// n items in shuffled ID order; item i is an array of 1..39 elements (20 on average).
std::string WriteDefinitions(int n) {
    const std::string path = BenchDir("defs") + "/NVItemsDefine" + std::to_string(n) + ".def";
    std::ofstream out(path, std::ios::binary);
    out << "# generated\r\n";
    const char* const types[] = {"uint8", "uint32", "nv_cal_type", "nv_name_type"};
    for (int i = 0; i < n; ++i) {
        const int id = (i * 2654435761u) % 5000u;
        const int count = i % 39 + 1;
        const char* type = types[i % 4];
        out << "NV_ITEM_" << i << "_I;" << id << ";nvm/num/" << id << ";Group " << i % 12 << ";" << std::hex
            << (i % 4 < 2 ? 4 : 0x21) << "[" << count << "]" << std::dec << ";" << type << "\r\n";
    }
    return path;
}

// n types in groups of ten: a base type with arrays and text fields, then nine levels each
// holding the level below and an array of the base. Every other group is written
// backwards, so types are used before their definition.
std::string WriteTypes(int n) {
    const std::string path = BenchDir("types") + "/NVTypesDefine" + std::to_string(n) + ".def";
    std::ofstream out(path, std::ios::binary);
    const auto level = [](int g, int l) {
        std::string name = std::to_string(g * 10 + l);
        name.insert(name.begin(), l == 0 ? 'B' : 'T');
        return name;
    };
    for (int g = 0; g < n / 10; ++g) {
        std::vector<std::string> lines;
        lines.push_back(level(g, 0) + ";uint8 a;uint16 b[3];string name[8];utf16 w[2];");
        for (int l = 1; l < 10; ++l)
            lines.push_back(level(g, l) + ";uint32 x;" + level(g, l - 1) + " sub;" + level(g, 0) + " arr[2];");
        if (g % 2) std::reverse(lines.begin(), lines.end());
        for (const auto& l : lines) out << l << "\r\n";
    }
    return path;
}

void BM_ReadAndSortDefinitions(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string path = WriteDefinitions(n);
    SBenchJobs t;
    size_t records = 0;
    for (auto _ : state) {
        CNVDefineReader reader(t.jobs);
        CNVItemArray defs;
        if (!reader.StartReadDefinitions(path, defs).IsCompleted()) state.SkipWithError("read failed");
        defs.SortById();
        records = static_cast<size_t>(defs.GetSize());
        benchmark::DoNotOptimize(defs);
    }
    state.counters["records"] = static_cast<double>(records);
    state.SetComplexityN(n);
}
BENCHMARK(BM_ReadAndSortDefinitions)->Arg(5000)->Arg(10000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Complexity();

void BM_ImportTypes(benchmark::State& state) {
    const int n = static_cast<int>(state.range(0));
    const std::string path = WriteTypes(n);
    SBenchJobs t;
    CNVTypesFile typeFile;
    CNVTypeCatalog catalog(t.jobs, &typeFile);
    catalog.SetDirectory(BenchDir("types"));
    for (auto _ : state) {
        if (!catalog.ImportDefinitionFile(path)) state.SkipWithError("import failed");
    }
    state.counters["typ_bytes"] = static_cast<double>(std::filesystem::file_size(catalog.TypeFilePath()));
    state.SetComplexityN(n);
}
BENCHMARK(BM_ImportTypes)->Arg(1000)->Arg(2000)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->Complexity();
}  // namespace
