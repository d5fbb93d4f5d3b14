// The phone link over a pseudo-terminal with the simulated phone in-process: a bare round
// trip of one NV packet (the limit), an upload of 2,000 items through the document, and
// the cost of connecting.
#include "diag_commands.h"
#include "diag_framing.h"
#include "job_control.h"
#include "posix_serial_transport.h"
#include "qlib.h"
#include "sim_phone.h"
#include "sim_pty_server.h"
#include "tessiva_doc.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

namespace {
constexpr int kItems = 2000;

class CQuietFrontend : public IJobFrontend, public IMessageSink {
public:
    void RunModal(CJobControl& control) override {
        while (!control.IsEnded()) std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    void OnRange(int) override {}
    void OnPosition(int) override {}
    void OnCancelEnabled() override {}
    void OnJobEnded(bool) override {}
    void ShowMessage(const std::string& text, EMessageIcon, const std::string&) override {
        std::fprintf(stderr, "%s\n", text.c_str());
    }
    bool AskYesNo(const std::string&, const std::string&) override { return false; }
};

// 2,000 plain items of 16 bytes, every one held by the phone.
struct SBench {
    SBench() {
        dir = (std::filesystem::temp_directory_path() / ("tessiva-bench-phone-" + std::to_string(getpid()))).string();
        std::filesystem::create_directories(dir);
        std::ofstream defs(dir + "/NVItemsDefine.def");
        defs << "# name;id;file;group;size;type\n";
        for (int id = 0; id < kItems; ++id) defs << "item" << id << ";" << id << ";f;g;10;uint8\n";
        defs.close();
        CJobControl::SetStartPause(std::chrono::milliseconds(0));
        doc.SetDirectory(dir);
        CNVItemArray read;
        doc.m_defReader.StartReadDefinitions(doc.DefinitionsPath(), read);
        read.SortById();
        doc.m_itemDefs = read;
        store.SetDefinitions(read);
        for (int id = 0; id < kItems; ++id) store.Put(id, CSimNvStore::kPlain, std::vector<uint8_t>(16, static_cast<uint8_t>(id)));
        std::string error;
        if (!server.Open(error)) std::fprintf(stderr, "%s\n", error.c_str());
        server.Start();
        doc.SetPortName(server.DevicePath());
    }
    ~SBench() {
        doc.Disconnect();
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

void BM_BareRoundTrip(benchmark::State& state) {
    SBench& b = Bench();
    CPosixSerialTransport port;
    std::string error;
    if (!port.Open(b.server.DevicePath(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    std::vector<uint8_t> request;
    BuildNvRequest(kDiagNvRead, 7, -1, nullptr, 0, request);
    const std::vector<uint8_t> frame = EncodeDiagFrame(request, true);
    uint8_t buffer[512];
    for (auto _ : state) {
        const auto deadline = ISerialTransport::Clock::now() + std::chrono::seconds(2);
        port.Write(frame.data(), frame.size(), deadline, error);
        // The reply ends with the first flag that follows some bytes.
        size_t bytes = 0;
        bool done = false;
        while (!done) {
            const long n = port.Read(buffer, sizeof buffer, deadline, error);
            if (n <= 0) {
                state.SkipWithError("no reply");
                return;
            }
            for (long i = 0; i < n && !done; ++i) {
                if (buffer[i] != kDiagFlag) ++bytes;
                else done = bytes > 0;
            }
        }
    }
    state.counters["round_trips_per_second"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                                                  benchmark::Counter::kIsRate);
}
BENCHMARK(BM_BareRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_UploadAll(benchmark::State& state) {
    SBench& b = Bench();
    if (!b.doc.Connect()) {
        state.SkipWithError("no connection");
        return;
    }
    for (auto _ : state) {
        if (b.doc.StartUpload(b.doc.DefinitionsPath()) != 1 || b.doc.m_items.GetSize() != kItems ||
            b.doc.m_items[kItems - 1].Active() != 1) {
            state.SkipWithError("upload failed");
            return;
        }
    }
    b.doc.Disconnect();
    state.counters["items_per_second"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kItems, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UploadAll)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ConnectAndDisconnect(benchmark::State& state) {
    SBench& b = Bench();
    for (auto _ : state) {
        if (!b.doc.Connect()) {
            state.SkipWithError("no connection");
            return;
        }
        b.doc.Disconnect();
    }
}
BENCHMARK(BM_ConnectAndDisconnect)->Unit(benchmark::kMicrosecond)->UseRealTime();
}  // namespace
