// The phone link over a pseudo-terminal with the simulated phone in-process: an upload of
// 2,000 items through the document against bare round trips of one NV packet (the limit),
// and the cost of connecting.
#include "phone/diag_commands.h"
#include "phone/diag_framing.h"
#include "jobs/job_control.h"
#include "phone/serial_transport.h"
#include "phone/qlib.h"
#include "jobs/quiet_frontend.h"
#include "sim/sim_phone.h"
#include "sim/sim_pty_server.h"
#include "doc/tessiva_doc.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

namespace {
constexpr int kItems = 2000;

// 2,000 plain items of 16 bytes, every one held by the phone.
struct SBench {
    SBench() {
        dir = (std::filesystem::temp_directory_path() / ("tessiva-bench-phone-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(dir);
        std::ofstream defs(dir + "/NVItemsDefine.def");
        defs << "# name;id;file;group;size;type\n";
        for (int id = 0; id < kItems; ++id) defs << "item" << id << ";" << id << ";f;g;10;uint8\n";
        defs.close();
        doc.SetDirectory(dir);
        if (!doc.LoadDefinitions().IsCompleted()) std::fprintf(stderr, "no definitions\n");
        store.SetDefinitions(doc.Definitions());
        for (int id = 0; id < kItems; ++id) store.Put(id, CSimNvStore::kPlain, std::vector<uint8_t>(16, static_cast<uint8_t>(id)));
        std::string error;
        if (!server.Open(error)) std::fprintf(stderr, "%s\n", error.c_str());
        server.Start();
        doc.SetPortName(server.DevicePath());
    }
    ~SBench() {
        (void)doc.Disconnect();
        server.Stop();
        std::filesystem::remove_all(dir);
    }

    std::string dir;
    CQuietFrontend frontend;
    CJobControl jobs{frontend, frontend};
    CTessivaDoc doc{jobs};
    CSimNvStore store;
    CSimPhone phone{store, {}};
    CSimPtyServer server{phone, {}};
};

SBench& Bench() {
    static SBench bench;
    return bench;
}

// n bare round trips of a 133-byte NV read request and its reply on a port of its own; false
// when a reply did not come.
bool BareRoundTrips(const std::string& device, int n, std::string& error) {
    const auto port = CreateSerialTransport();
    if (!port->Open(device, error)) return false;
    std::vector<uint8_t> request;
    BuildNvRequest(kDiagNvRead, 7, -1, nullptr, 0, request);
    const std::vector<uint8_t> frame = EncodeDiagFrame(request, true);
    uint8_t buffer[512];
    for (int k = 0; k < n; ++k) {
        const auto deadline = ISerialTransport::Clock::now() + std::chrono::seconds(2);
        if (!port->Write(frame.data(), frame.size(), deadline, error)) return false;
        // The reply ends with the first flag that follows some bytes.
        size_t bytes = 0;
        bool done = false;
        while (!done) {
            const long got = port->Read(buffer, sizeof buffer, deadline, error);
            if (got <= 0) return false;
            for (long i = 0; i < got && !done; ++i) {
                if (buffer[i] != kDiagFlag) ++bytes;
                else done = bytes > 0;
            }
        }
    }
    return true;
}

// Upload of every item through the document ("Upload All"), each one alternating with as
// many bare round trips on the same pseudo-terminal, so both see the same machine load.
// ratio_to_bare: upload items per second over bare round trips per second.
void BM_UploadAll(benchmark::State& state) {
    SBench& b = Bench();
    using Clock = std::chrono::steady_clock;
    double bareSeconds = 0, uploadSeconds = 0;
    std::string error;
    for (auto _ : state) {
        const auto bareStart = Clock::now();
        if (!BareRoundTrips(b.server.DevicePath(), kItems, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        const auto uploadStart = Clock::now();
        const bool ok = b.doc.Connect().IsCompleted() && b.doc.Upload(b.doc.DefinitionsPath()).IsCompleted() &&
                        b.doc.Items().GetSize() == kItems && b.doc.Items()[kItems - 1].Active() == 1;
        const auto uploadEnd = Clock::now();
        (void)b.doc.Disconnect();
        if (!ok) {
            state.SkipWithError("upload failed");
            return;
        }
        bareSeconds += std::chrono::duration<double>(uploadStart - bareStart).count();
        const double upload = std::chrono::duration<double>(uploadEnd - uploadStart).count();
        uploadSeconds += upload;
        state.SetIterationTime(upload);
    }
    const double items = static_cast<double>(state.iterations()) * kItems;
    state.counters["items_per_second"] = items / uploadSeconds;
    state.counters["bare_round_trips_per_second"] = items / bareSeconds;
    state.counters["ratio_to_bare"] = bareSeconds / uploadSeconds;
}
BENCHMARK(BM_UploadAll)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// Download of every item (the records of one upload), with read-back verification (arg 0)
// and the backup before it (arg 1) on or off: what the safety steps cost on the link.
void BM_DownloadAll(benchmark::State& state) {
    SBench& b = Bench();
    if (!b.doc.Connect().IsCompleted() || !b.doc.Upload(b.doc.DefinitionsPath()).IsCompleted()) {
        state.SkipWithError("upload failed");
        return;
    }
    b.doc.SetVerifyWrites(state.range(0) != 0);
    b.doc.SetBackupBeforeDownload(state.range(1) != 0);
    b.doc.SetBackupFolder((std::filesystem::temp_directory_path() / "tessiva-bench-backups").string());
    // Bare round trips alternate with the downloads, so both see the same machine load.
    using Clock = std::chrono::steady_clock;
    double bareSeconds = 0, downloadSeconds = 0;
    std::string error;
    for (auto _ : state) {
        (void)b.doc.Disconnect();  // the port is held exclusively: the bare loop needs it to itself
        const auto bareStart = Clock::now();
        if (!BareRoundTrips(b.server.DevicePath(), kItems, error)) {
            state.SkipWithError(error.c_str());
            break;
        }
        const auto bareEnd = Clock::now();
        if (!b.doc.Connect().IsCompleted()) {
            state.SkipWithError("no connection");
            break;
        }
        const auto start = Clock::now();
        const bool ok = b.doc.Download(CTessivaDoc::EScope::AllActive).IsCompleted();
        const auto end = Clock::now();
        if (!ok) {
            state.SkipWithError("download failed");
            break;
        }
        bareSeconds += std::chrono::duration<double>(bareEnd - bareStart).count();
        downloadSeconds += std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
    (void)b.doc.Disconnect();
    std::filesystem::remove_all(b.doc.BackupFolder());
    const double records = static_cast<double>(state.iterations()) * kItems;
    state.counters["records_per_second"] = records / downloadSeconds;
    // One request per record without the safety steps: the same work as the bare loop.
    state.counters["download_ratio_to_bare"] = bareSeconds / downloadSeconds;
}
BENCHMARK(BM_DownloadAll)
    ->ArgNames({"verify", "backup"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(1.0);

void BM_ConnectAndDisconnect(benchmark::State& state) {
    SBench& b = Bench();
    for (auto _ : state) {
        if (!b.doc.Connect().IsCompleted()) {
            state.SkipWithError("no connection");
            return;
        }
        (void)b.doc.Disconnect();
    }
}
BENCHMARK(BM_ConnectAndDisconnect)->Unit(benchmark::kMicrosecond)->UseRealTime();
}  // namespace
