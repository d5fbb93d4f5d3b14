// The phone link over a pseudo-terminal with the simulated phone in-process: an upload of
// 2,000 items through the document against bare round trips of one NV packet (the limit),
// the reads of a whole phone (records and item files), a backup and a restore of the whole
// phone, and the cost of connecting; and what a user waits for: the CLI's upload and
// download as processes against the simulator's.
#include "phone/diag_commands.h"
#include "phone/diag_link.h"
#include "phone/diag_framing.h"
#include "phone/efs_client.h"
#include "jobs/job_control.h"
#include "phone/serial_transport.h"
#include "jobs/quiet_frontend.h"
#include "sim/sim_phone.h"
#include "sim/sim_pty_server.h"
#include "doc/phone_image.h"
#include "doc/tessiva_doc.h"
#include "bench_support.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <thread>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {
constexpr int kItems = 2000;
constexpr int kItemFiles = 200;
constexpr size_t kItemFileSize = 1024;
const char* const kItemFolder = "/nv/item_files/bench";

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
        for (int f = 0; f < kItemFiles; ++f)
            phone.Files().PutFile(std::string(kItemFolder) + "/file" + std::to_string(f),
                                  std::vector<uint8_t>(kItemFileSize, static_cast<uint8_t>(f)));
        std::string error;
        if (!server.Open(error)) std::fprintf(stderr, "%s\n", error.c_str());
        server.Start();
        doc.Phone().Settings().portName = server.DevicePath();
        // Items 0 (the ESN) and 85 take writes only after the SPC code; the phone keeps it.
        const uint8_t code[6] = {'0', '0', '0', '0', '0', '0'};
        bool accepted = false;
        if (!doc.Phone().Connect().IsCompleted() || !doc.Phone().Link()->SendSpc(code, accepted) || !accepted)
            std::fprintf(stderr, "the phone did not take the SPC code\n");
        doc.Phone().Disconnect();
    }
    ~SBench() {
        doc.Phone().Disconnect();
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
// when a reply did not come. The requests ask item 7, or with firstId the items firstId,
// firstId + 1, ... as an upload of them does; all are built before the first is sent.
bool BareRoundTrips(const std::string& device, int n, std::string& error, int firstId = -1) {
    const auto port = CreateSerialTransport();
    if (!port->Open(device, error)) return false;
    std::vector<std::vector<uint8_t>> frames;
    for (int k = 0; k < (firstId < 0 ? 1 : n); ++k) {
        std::vector<uint8_t> request;
        BuildNvRequest(kDiagNvRead, static_cast<uint16_t>(firstId < 0 ? 7 : firstId + k), -1, nullptr, 0, request);
        frames.push_back(EncodeDiagFrame(request, true));
    }
    uint8_t buffer[512];
    for (int k = 0; k < n; ++k) {
        const auto deadline = ISerialTransport::Clock::now() + std::chrono::seconds(2);
        const std::vector<uint8_t>& frame = frames[firstId < 0 ? 0 : static_cast<size_t>(k)];
        if (!port->Write(frame.data(), frame.size(), deadline, error)) return false;
        // The reply ends with the first flag that follows some bytes; the first read waits
        // for them, as the link's does.
        size_t bytes = 0;
        bool done = false;
        for (bool first = true; !done; first = false) {
            const long got = first ? port->ReadReply(buffer, sizeof buffer, deadline, error)
                                   : port->Read(buffer, sizeof buffer, deadline, error);
            if (got <= 0) return false;
            for (long i = 0; i < got && !done; ++i) {
                if (buffer[i] != kDiagFlag) ++bytes;
                else done = bytes > 0;
            }
        }
    }
    return true;
}

using Clock = std::chrono::steady_clock;
double Seconds(Clock::time_point from, Clock::time_point to) { return std::chrono::duration<double>(to - from).count(); }

// The seconds of n bare round trips, or -1 with error. They run on a thread of their own, as
// the document's jobs do, so both pay the same wake-ups; on the waiting main thread the bare
// loop ran up to a third faster.
double TimeBareLoop(int n, std::string& error) {
    bool ok = false;
    const auto start = Clock::now();
    std::thread loop([&] { ok = BareRoundTrips(Bench().server.DevicePath(), n, error); });
    loop.join();
    return ok ? Seconds(start, Clock::now()) : -1;
}

// Total seconds of the pairs timed.
struct SPairSeconds {
    double bare = 0;
    double phone = 0;
    double Ratio() const { return phone > 0 ? bare / phone : 0; }
};

// Each iteration times trips() bare round trips, then run on a fresh connection: alternating,
// both see the same machine load. An iteration asked for no bare round trips is timed alone
// and left out of the pairs. run returns false on a failure, failure() says which.
template <class Trips, class Run, class Failure>
SPairSeconds AlternateWithBareLoop(benchmark::State& state, const Trips& trips, const Run& run, const Failure& failure) {
    SBench& b = Bench();
    SPairSeconds total;
    std::string error;
    for (auto _ : state) {
        b.doc.Phone().Disconnect();  // the port is held exclusively: the bare loop needs it to itself
        const int n = trips();
        const double bare = n > 0 ? TimeBareLoop(n, error) : 0;
        if (bare < 0) {
            state.SkipWithError(error.c_str());
            break;
        }
        if (!b.doc.Phone().Connect().IsCompleted()) {
            state.SkipWithError("no connection");
            break;
        }
        const auto start = Clock::now();
        const bool ok = run(b);
        const double phone = Seconds(start, Clock::now());
        if (!ok) {
            state.SkipWithError(std::string(failure()).c_str());
            break;
        }
        if (n > 0) {
            total.bare += bare;
            total.phone += phone;
        }
        state.SetIterationTime(phone);
    }
    b.doc.Phone().Disconnect();
    return total;
}

int Items() { return kItems; }

// Upload of every item through the document ("Upload All") against as many bare round trips.
// ratio_to_bare: upload items per second over bare round trips per second.
void BM_UploadAll(benchmark::State& state) {
    const SPairSeconds total = AlternateWithBareLoop(
        state, Items,
        [](SBench& b) {
            return b.doc.Upload(b.doc.DefinitionsPath()).IsCompleted() && b.doc.Items().GetSize() == kItems &&
                   b.doc.Items()[kItems - 1].Active() == 1;
        },
        [] { return "upload failed"; });
    const double items = static_cast<double>(state.iterations()) * kItems;
    state.counters["items_per_second"] = items / total.phone;
    state.counters["bare_round_trips_per_second"] = items / total.bare;
    state.counters["ratio_to_bare"] = total.Ratio();
}
BENCHMARK(BM_UploadAll)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// Download of every item (the records of one upload), with read-back verification (arg 0)
// and the backup before it (arg 1) on or off: what the safety steps cost on the link.
void BM_DownloadAll(benchmark::State& state) {
    SBench& b = Bench();
    if (!b.doc.Phone().Connect().IsCompleted() || !b.doc.Upload(b.doc.DefinitionsPath()).IsCompleted()) {
        state.SkipWithError("upload failed");
        return;
    }
    b.doc.Phone().Settings().verifyWrites = state.range(0) != 0;
    b.doc.Phone().Settings().backupBeforeWrite = state.range(1) != 0;
    b.doc.Phone().Settings().backupFolder = (std::filesystem::temp_directory_path() / "tessiva-bench-backups").string();
    const SPairSeconds total = AlternateWithBareLoop(
        state, Items, [](SBench& b) { return b.doc.Download(CTessivaDoc::EScope::AllActive).IsCompleted(); },
        [] { return "download failed"; });
    std::filesystem::remove_all(b.doc.Phone().Settings().backupFolder);
    state.counters["records_per_second"] = static_cast<double>(state.iterations()) * kItems / total.phone;
    // One request per record without the safety steps: the same work as the bare loop.
    state.counters["download_ratio_to_bare"] = total.Ratio();
}
BENCHMARK(BM_DownloadAll)
    ->ArgNames({"verify", "backup"})
    ->Args({0, 0})
    ->Args({1, 0})
    ->Args({1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(1.0);

// Every record read through the link, then the item files listed and read whole through
// the file system client, as a backup of the whole phone reads them; against as many bare
// round trips on the same pseudo-terminal. ratio_to_bare: bare seconds over these seconds.
// Returns the round trips made, 0 on a failure.
size_t ReadWholePhone(const std::shared_ptr<CDiagLink>& link, double& recordSeconds) {
    uint8_t value[16];
    uint16_t status = 0;
    const auto start = Clock::now();
    for (int id = 0; id < kItems; ++id)
        if (!link->ReadNv(static_cast<uint16_t>(id), -1, value, sizeof value, status) || status != 0) return 0;
    recordSeconds += Seconds(start, Clock::now());
    CEfsClient efs(link);
    SEfsWalk walk;
    if (!efs.ListFiles(kItemFolder, walk) || walk.files.size() != kItemFiles) return 0;
    std::vector<uint8_t> data;
    for (const SEfsFile& f : walk.files)
        if (!efs.ReadFile(f.path, data) || data.size() != kItemFileSize) return 0;
    return kItems + efs.Requests();
}

void BM_RecordsAndItemFiles(benchmark::State& state) {
    SBench& b = Bench();
    double recordSeconds = 0;
    size_t trips = 0;
    // The round trips of one reading, for the bare loop's count.
    if (!b.doc.Phone().Connect().IsCompleted() || (trips = ReadWholePhone(b.doc.Phone().Link(), recordSeconds)) == 0) {
        state.SkipWithError("reading the phone failed");
        return;
    }
    recordSeconds = 0;
    const SPairSeconds total = AlternateWithBareLoop(
        state, [trips] { return static_cast<int>(trips); },
        [&](SBench& b) { return ReadWholePhone(b.doc.Phone().Link(), recordSeconds) == trips; },
        [] { return "reading the phone failed"; });
    const double n = static_cast<double>(state.iterations());
    state.counters["round_trips"] = static_cast<double>(trips);
    state.counters["records_per_second"] = n * kItems / recordSeconds;
    state.counters["files_per_second"] = n * kItemFiles / (total.phone - recordSeconds);
    state.counters["ratio_to_bare"] = total.Ratio();
}
BENCHMARK(BM_RecordsAndItemFiles)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// A timed run of the whole phone through the document against the bare loop making as many
// round trips as the link counted in the run before (the first run only counts them). run
// returns the phone operation's outcome; rows, when given, is the count its report must have.
template <class Run> void AgainstBareLoop(benchmark::State& state, const Run& run, size_t rows = 0) {
    size_t trips = 0;
    std::string failure;
    const SPairSeconds total = AlternateWithBareLoop(
        state, [&trips] { return static_cast<int>(trips); },
        [&](SBench& b) {
            const auto link = b.doc.Phone().Link();
            const size_t before = link->Requests();
            const SPhoneOutcome outcome = run(b);
            trips = link->Requests() - before;
            failure = outcome.report.Summary();
            return outcome.IsCompleted() && (rows == 0 || outcome.report.Rows().size() == rows);
        },
        [&failure] { return failure; });
    state.counters["round_trips"] = static_cast<double>(trips);
    state.counters["ratio_to_bare"] = total.Ratio();
}

// The backup of the whole phone, with the item files or without.
std::string WholeBackupPath(bool files = true) { return Bench().dir + (files ? "/whole.qcn" : "/records.qcn"); }

// "backup --subscriptions 0": the 2,000 records and the 200 item files into a QCN.
void BM_BackupWholePhone(benchmark::State& state) {
    AgainstBareLoop(state, [](SBench& b) {
        SPhoneBackupOptions options;
        options.subscriptions = 0;
        return b.doc.Phone().BackupPhone(WholeBackupPath(), options);
    }, kItems + kItemFiles);
}
BENCHMARK(BM_BackupWholePhone)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// A backup written back with the backup before it and the read-back of every write: three
// round trips per record. Without item files (arg 0) the bare loop makes just those; with
// them (arg 1) also the files' round trips, whose 1 KB frames the bare loop's 133 bytes
// undercut.
void BM_RestoreWholePhone(benchmark::State& state) {
    SBench& b = Bench();
    const bool files = state.range(0) != 0;
    SPhoneBackupOptions options;
    options.subscriptions = 0;
    options.files = files;
    if (!std::filesystem::exists(WholeBackupPath(files)) &&
        !(b.doc.Phone().Connect().IsCompleted() && b.doc.Phone().BackupPhone(WholeBackupPath(files), options).IsCompleted())) {
        state.SkipWithError("the backup failed");
        return;
    }
    b.doc.Phone().Disconnect();
    b.doc.Phone().Settings().verifyWrites = true;
    b.doc.Phone().Settings().backupBeforeWrite = true;
    b.doc.Phone().Settings().backupFolder = b.dir + "/backups";
    AgainstBareLoop(state, [files](SBench& b) { return b.doc.Phone().Restore(WholeBackupPath(files)); });
    std::filesystem::remove_all(b.doc.Phone().Settings().backupFolder);
}
BENCHMARK(BM_RestoreWholePhone)->ArgName("files")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->MinTime(2.0);

// A phone 3 ms away each way that takes 0.5 ms a request, with the bench's 2,000 items and
// 1,000 more found by a scan: a backup of 3,000 records at windows 1 to 32 against the bare
// loop of as many round trips, in one run. On a phone that loses requests while busy
// (arg 1) the backup falls back to one request at a time: its cost against window 1.
struct SFarPhone {
    explicit SFarPhone(bool oneAtATime) {
        store.SetDefinitions(Bench().doc.Definitions());
        for (int id = 0; id < kFarRecords; ++id) store.Put(id, CSimNvStore::kPlain, std::vector<uint8_t>(16, static_cast<uint8_t>(id)));
        SSimLineOptions line;
        line.latency = std::chrono::milliseconds(3);
        line.work = std::chrono::microseconds(500);
        line.oneAtATime = oneAtATime;
        server = std::make_unique<CSimPtyServer>(phone, line);
        std::string error;
        if (!server->Open(error)) std::fprintf(stderr, "%s\n", error.c_str());
        server->Start();
        doc.SetDirectory(Bench().dir);
        doc.SetDefinitions(Bench().doc.Definitions());
        doc.Phone().Settings().portName = server->DevicePath();
    }
    ~SFarPhone() {
        doc.Phone().Disconnect();
        server->Stop();
    }
    // The seconds of a backup at the window, or -1; notes counts the fall-back notes.
    double Backup(int window, int& records, int& notes) {
        doc.Phone().Settings().readWindow = window;
        if (!doc.Phone().Connect().IsCompleted()) return -1;
        SPhoneBackupOptions options;
        options.subscriptions = 0;
        options.files = false;
        options.scan = true;
        options.scanTo = kFarRecords - 1;
        const auto start = Clock::now();
        const SPhoneOutcome outcome = doc.Phone().BackupPhone(Bench().dir + "/far.qcn", options);
        const double seconds = Seconds(start, Clock::now());
        doc.Phone().Disconnect();
        records = outcome.report.Count(CDownloadReport::EResult::Read, CDownloadReport::EKind::Record);
        notes = static_cast<int>(outcome.notes.size());
        return outcome.IsCompleted() ? seconds : -1;
    }

    static constexpr int kFarRecords = 3000;
    SBenchJobs jobs;
    CTessivaDoc doc{jobs.jobs};
    CSimNvStore store;
    CSimPhone phone{store, {}};
    std::unique_ptr<CSimPtyServer> server;
};

void BM_BackupInFlight(benchmark::State& state) {
    const bool lossy = state.range(0) != 0;
    SFarPhone far(lossy);
    std::string error;
    for (auto _ : state) {
        if (!lossy) {
            bool ok = false;
            const auto start = Clock::now();
            std::thread loop([&] { ok = BareRoundTrips(far.server->DevicePath(), SFarPhone::kFarRecords, error); });
            loop.join();
            if (!ok) {
                state.SkipWithError(error.c_str());
                return;
            }
            state.counters["bare_s"] = Seconds(start, Clock::now());
        }
        int records = 0, firstRecords = 0, notes = 0;
        double total = 0;
        for (int window : lossy ? std::vector<int>{1, 8} : std::vector<int>{1, 4, 8, 16, 32}) {
            const double seconds = far.Backup(window, records, notes);
            if (seconds < 0 || (firstRecords && records != firstRecords)) {
                state.SkipWithError("the backup failed or read other records");
                return;
            }
            firstRecords = records;
            total += seconds;
            state.counters["window_" + std::to_string(window) + "_s"] = seconds;
            if (lossy && window > 1) state.counters["fall_back_notes"] = notes;
        }
        state.counters["records"] = records;
        state.SetIterationTime(total);
    }
}
BENCHMARK(BM_BackupInFlight)->ArgName("loses_requests")->Arg(0)->Arg(1)->Unit(benchmark::kSecond)->UseManualTime()->Iterations(1);

void BM_ConnectAndDisconnect(benchmark::State& state) {
    SBench& b = Bench();
    for (auto _ : state) {
        if (!b.doc.Phone().Connect().IsCompleted()) {
            state.SkipWithError("no connection");
            return;
        }
        b.doc.Phone().Disconnect();
    }
}
BENCHMARK(BM_ConnectAndDisconnect)->Unit(benchmark::kMicrosecond)->UseRealTime();
// The CLI and the simulated phone as the user runs them: separate processes on a
// pseudo-terminal, 4,800 items of 10 bytes; from id 100, past the SPC-locked ESN (0) and SPC (85).
constexpr int kCliItems = 4800;
constexpr int kCliFirstId = 100;

// Starts argv[0] with stdout to outFd (-1: nowhere) and stderr nowhere; 0 on a failure.
pid_t Spawn(const std::vector<std::string>& args, int outFd) {
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (outFd >= 0) posix_spawn_file_actions_adddup2(&actions, outFd, 1);
    else posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const bool ok = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0;
    posix_spawn_file_actions_destroy(&actions);
    return ok ? pid : 0;
}

bool RunToExit(const std::vector<std::string>& args) {
    const pid_t pid = Spawn(args, -1);
    int status = 0;
    return pid > 0 && waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Starts the simulator and reads the device path it prints; empty device on a failure.
pid_t StartSimulator(const std::vector<std::string>& args, std::string& device) {
    int out[2];
    if (pipe(out) != 0) return 0;
    const pid_t sim = Spawn(args, out[1]);
    close(out[1]);
    char line[256] = {};
    FILE* from = fdopen(out[0], "r");
    if (sim > 0 && from && std::fgets(line, sizeof line, from)) device = std::string(line, std::strcspn(line, "\n"));
    if (from) std::fclose(from);
    return sim;
}

void StopSimulator(pid_t sim) {
    if (sim <= 0) return;
    kill(sim, SIGTERM);
    waitpid(sim, nullptr, 0);
}

struct SCliPhone {
    SCliPhone() {
        dir = BenchDir("phone-cli");
        bin = std::filesystem::canonical("/proc/self/exe").parent_path().string();
        // The download's backups go below the folder of this run.
        setenv("XDG_DATA_HOME", dir.c_str(), 1);
        std::ofstream defs(dir + "/NVItemsDefine.def"), store(dir + "/store.txt");
        defs << "# name;id;file;group;size;type\n";
        for (int id = kCliFirstId; id < kCliFirstId + kCliItems; ++id) {
            defs << "item" << id << ";" << id << ";f;g;10;uint8\n";
            char last[3];
            std::snprintf(last, sizeof last, "%02x", id & 0xff);
            store << id << ";-1;000102030405060708" << last << "\n";
        }
        defs.close();
        store.close();
        sim = StartSimulator({bin + "/tessiva-phone-sim", "--dir", dir, "--from", dir + "/store.txt"}, device);
        if (!device.empty() && !RunToExit(Command(false, false))) device.clear();
    }
    ~SCliPhone() {
        StopSimulator(sim);
        std::filesystem::remove_all(dir);
    }
    // An upload into the backup, or a download of it with or without read-back and backup.
    std::vector<std::string> Command(bool download, bool safety) const {
        std::vector<std::string> args{bin + "/tessiva-cli", "--dir", dir, download ? "download" : "upload",
                                      "--port", device};
        if (download && !safety) args.insert(args.end(), {"--no-backup", "--no-verify"});
        args.push_back(dir + "/phone.brt");
        return args;
    }

    std::string dir, bin, device;
    pid_t sim = 0;
};

// The seconds of the bare loop of BareRoundTrips in a process of its own, as the CLI runs; -1
// on a failure. The same loop on the benchmark's long-lived thread ran up to half again as
// fast: the kernel ran that thread about 4 us after each wake-up, a fresh process's (the
// CLI, or this loop's) about 10 us after (perf sched timehist). A process that runs the loop
// again runs it a fifth faster than the first time, so only a fresh one compares with the CLI.
double BareLoopInOwnProcess(const std::string& device, int n, int firstId, std::string& error) {
    int out[2];
    if (pipe(out) != 0) return -1;
    const pid_t pid = fork();
    if (pid == 0) {
        close(out[0]);
        const auto start = Clock::now();
        std::string childError;
        const double seconds = BareRoundTrips(device, n, childError, firstId) ? Seconds(start, Clock::now()) : -1;
        _exit(write(out[1], &seconds, sizeof seconds) == sizeof seconds ? 0 : 1);
    }
    close(out[1]);
    double seconds = -1;
    if (pid < 0 || read(out[0], &seconds, sizeof seconds) != sizeof seconds) seconds = -1;
    close(out[0]);
    if (pid > 0) waitpid(pid, nullptr, 0);
    if (seconds < 0) error = "the bare loop in its own process failed";
    return seconds;
}

// Process start to exit of the CLI, against the bare loop making as many round trips on the
// same pseudo-terminal in the same iteration: one per record, three with read-back and backup.
// An upload is also timed for one item, its fixed cost (start, definitions, connection,
// save): ratio_after_fixed is the bare loop's time over the upload's less that, the median
// of the iterations; own_process_ratio_after_fixed the same with the bare loop in a process
// of its own.
double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void BM_CliEndToEnd(benchmark::State& state) {
    static SCliPhone p;
    if (p.device.empty()) {
        state.SkipWithError("the simulated phone or the first upload failed");
        return;
    }
    const bool download = state.range(0) != 0, safety = state.range(1) != 0;
    const std::string window = std::to_string(state.range(2));
    std::vector<std::string> command = p.Command(download, safety);
    command.insert(command.begin() + 4, {"--window", window});
    std::vector<std::string> one = command;
    one.insert(one.begin() + 4, {"--list", p.dir + "/one.csv"});
    one.back() = p.dir + "/one.brt";  // the downloads that follow send phone.brt, every record of it
    if (!download) {
        std::ofstream list(p.dir + "/one.csv");
        list << "NV Item Name;NV ID\nitem" << kCliFirstId << ";" << kCliFirstId << "\n";
    }
    const int trips = safety ? 3 * kCliItems : kCliItems;
    using Clock = std::chrono::steady_clock;
    double bareSeconds = 0, cliSeconds = 0;
    std::vector<double> afterFixed, ownAfterFixed;
    std::string error;
    for (auto _ : state) {
        const auto bareStart = Clock::now();
        // An upload's bare loop asks the same items the upload asks.
        if (!BareRoundTrips(p.device, trips, error, download ? -1 : kCliFirstId)) {
            state.SkipWithError(error.c_str());
            return;
        }
        const auto bareEnd = Clock::now();
        const double own = download ? 0 : BareLoopInOwnProcess(p.device, trips, kCliFirstId, error);
        if (own < 0) {
            state.SkipWithError(error.c_str());
            return;
        }
        const auto start = Clock::now();
        if (!RunToExit(command)) {
            state.SkipWithError("the CLI failed");
            return;
        }
        const auto end = Clock::now();
        if (!download && !RunToExit(one)) {
            state.SkipWithError("the CLI failed on one item");
            return;
        }
        const double bare = Seconds(bareStart, bareEnd);
        const double cli = Seconds(start, end);
        bareSeconds += bare;
        cliSeconds += cli;
        if (!download) {
            const double variable = cli - Seconds(end, Clock::now());
            afterFixed.push_back(bare / variable);
            ownAfterFixed.push_back(own / variable);
        }
        state.SetIterationTime(cli);
    }
    state.counters["items_per_second"] = static_cast<double>(state.iterations()) * kCliItems / cliSeconds;
    state.counters[download ? "download_ratio_to_bare" : "ratio_to_bare"] = bareSeconds / cliSeconds;
    if (!download) {
        state.counters["ratio_after_fixed"] = Median(afterFixed);
        state.counters["own_process_ratio_after_fixed"] = Median(ownAfterFixed);
    }
}
BENCHMARK(BM_CliEndToEnd)
    ->ArgNames({"download", "safety", "window"})
    ->Args({0, 0, 1})
    ->Args({0, 0, 8})
    ->Args({1, 0, 1})
    ->Args({1, 1, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->MinTime(2.0);

// The backup of a phone 3 ms away each way that takes 0.5 ms a request, as the user runs it:
// "backup --scan 0-2999 --no-files" at windows 1 and N against the bare loop of 3,000
// round trips, and on a phone that loses requests while busy; each backup must hold the
// records of the first. Times are the medians of the iterations.
struct SCliFarPhone {
    explicit SCliFarPhone(bool lossy) {
        dir = BenchDir(lossy ? "phone-far-lossy" : "phone-far");
        bin = std::filesystem::canonical("/proc/self/exe").parent_path().string();
        std::ofstream defs(dir + "/NVItemsDefine.def"), store(dir + "/store.txt");
        defs << "# name;id;file;group;size;type\nitem0;0;f;g;16;uint8\n";
        for (int id = 0; id < kRecords; ++id) {
            char last[5];
            std::snprintf(last, sizeof last, "%04x", id);
            store << id << ";-1;0011223344556677889900112233" << last << "\n";
        }
        defs.close();
        store.close();
        // Without subscriptions the backup asks what the bare loop asks: one read a record.
        std::vector<std::string> args{bin + "/tessiva-phone-sim", "--dir", dir, "--from", dir + "/store.txt",
                                      "--latency", "3", "--work", "500", "--no-subscriptions"};
        if (lossy) args.push_back("--one-at-a-time");
        sim = StartSimulator(args, device);
    }
    ~SCliFarPhone() {
        StopSimulator(sim);
        std::filesystem::remove_all(dir);
    }
    // The seconds of the backup at the window into out, or -1.
    double Backup(int window, const std::string& out) const {
        const auto start = Clock::now();
        const bool ok = RunToExit({bin + "/tessiva-cli", "--dir", dir, "backup", "--port", device, "--window",
                                   std::to_string(window), "--scan", "0-2999", "--no-files", out});
        return ok ? Seconds(start, Clock::now()) : -1;
    }
    // The records of a backup by ID; empty when it can't be read.
    std::map<uint32_t, std::array<uint8_t, 128>> Records(const std::string& path) const {
        std::map<uint32_t, std::array<uint8_t, 128>> records;
        SPhoneImage image;
        std::string error;
        if (ReadNumberedImage(path, CNVItemArray(), image, error))
            for (const SImageRecord& r : image.records) records[r.record.id] = r.record.data;
        return records;
    }

    static constexpr int kRecords = 3000;
    std::string dir, bin, device;
    pid_t sim = 0;
};

void BM_CliBackupInFlight(benchmark::State& state) {
    const bool lossy = state.range(0) != 0;
    const int window = static_cast<int>(state.range(1));
    const SCliFarPhone p(lossy);
    std::string error;
    std::vector<double> bare, one, many;
    std::map<uint32_t, std::array<uint8_t, 128>> first;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!lossy && !BareRoundTrips(p.device, SCliFarPhone::kRecords, error)) {
            state.SkipWithError(error.c_str());
            return;
        }
        if (!lossy) bare.push_back(Seconds(start, Clock::now()));
        one.push_back(p.Backup(1, p.dir + "/one.qcn"));
        many.push_back(p.Backup(window, p.dir + "/many.qcn"));
        if (first.empty()) first = p.Records(p.dir + "/one.qcn");
        if (one.back() < 0 || many.back() < 0 || first.size() != SCliFarPhone::kRecords ||
            p.Records(p.dir + "/one.qcn") != first || p.Records(p.dir + "/many.qcn") != first) {
            state.SkipWithError("a backup failed or holds other records");
            return;
        }
        state.SetIterationTime(many.back());
    }
    if (!lossy) state.counters["bare_s"] = Median(bare);
    state.counters["window_1_s"] = Median(one);
    state.counters["window_n_s"] = Median(many);
    if (!lossy) state.counters["window_n_to_bare"] = Median(many) / Median(bare);
    else state.counters["fall_back_to_window_1"] = Median(many) / Median(one);
}
BENCHMARK(BM_CliBackupInFlight)
    ->ArgNames({"loses_requests", "window"})
    ->Args({0, 8})
    ->Args({1, 8})
    ->Unit(benchmark::kSecond)
    ->UseManualTime()
    ->Iterations(1);
}  // namespace
