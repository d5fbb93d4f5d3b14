// tessiva-phone-sim: a phone on a pseudo-terminal that answers the diagnostic protocol from
// an in-memory NV store.
#include "jobs/console_frontend.h"
#include "jobs/job_control.h"
#include "sim/sim_numbered_image.h"
#include "sim/sim_phone.h"
#include "sim/sim_pty_server.h"
#include "files/backup_kind.h"
#include "doc/backup_reader.h"
#include "doc/tessiva_doc.h"

#include <cctype>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {
const char* const kUsage =
    "usage: tessiva-phone-sim [--dir DIR] [--from FILE] [--save FILE] [--link PATH]\n"
    "                         [--readonly IDS] [--unreadable IDS] [--read-status ID=STATUS,...]\n"
    "                         [--answer-other IDS] [--corrupt-writes IDS] [--esn HEX]\n"
    "                         [--spc CODE] [--spc-penalty SECONDS]\n"
    "                         [--files DIR] [--efs-fail PATH] [--efs-full] [--efs-subsystem ID]\n"
    "                         [--efs-hidden PATH] [--efs-unlistable PATH] [--efs-journal N]\n"
    "                         [--efs-refuse-sync] [--efs-keep-unsynced] [--efs-endless PATH]\n"
    "                         [--efs-long-name N] [--no-subscriptions]\n"
    "                         [--latency MS] [--silent-after N] [--noise] [--split]\n"
    "                         [--work US] [--one-at-a-time]\n"
    "\n"
    "Opens a pseudo-terminal, prints its device path and answers on it like a phone until\n"
    "SIGINT or SIGTERM.\n"
    "  --dir DIR          folder of NVItemsDefine.def (default: the current folder)\n"
    "  --from FILE        the NV store: a backup (.brt, .cnv, .qcn, .xqcn) or a text store (\"id;index;hex\");\n"
    "                     a numbered-items backup gives every subscription's records and its item files\n"
    "  --save FILE        writes the store there on exit, in the same kinds; a .qcn or .xqcn keeps\n"
    "                     everything (all subscriptions, item files) in the numbered-items layout\n"
    "  --link PATH        a symbolic link to the device\n"
    "  --readonly IDS     writes of these items answer status 7 (write protected)\n"
    "  --unreadable IDS   reads of these items get an error reply\n"
    "  --read-status L    reads of item ID answer status STATUS (e.g. 441=4,10=7)\n"
    "  --answer-other IDS reads of these items are answered with another item's number\n"
    "  --corrupt-writes IDS writes of these items are accepted, but other bytes are stored\n"
    "  --esn HEX          the phone's ESN (item 0), e.g. 8012ABCD; the ESN command answers it\n"
    "  --spc CODE         the SPC code (default 000000); a wrong one silences the phone\n"
    "  --spc-penalty S    seconds of silence after a wrong SPC code (default 10)\n"
    "  --files DIR        the files and folders below DIR go into the phone's file system, as /\n"
    "  --efs-fail PATH    the phone's file PATH fails half way: past its first 1024 bytes and at\n"
    "                     its close, reads and writes answer EIO; so does PATH.EXT beside it (may repeat)\n"
    "  --efs-full         the file system is full: new folders, and data beyond what it holds, answer ENOSPC\n"
    "  --efs-subsystem ID the file system answers on this subsystem only: 0x13 (default), 0x3e,\n"
    "                     or none\n"
    "  --efs-hidden PATH  the phone's file PATH is not listed by readdir; stat and open find it\n"
    "                     (may repeat)\n"
    "  --efs-unlistable PATH the folder PATH refuses to be listed (access denied; may repeat)\n"
    "  --efs-journal N    after N writes (NV and file writes both count) file writes answer ENOSPC\n"
    "                     until a sync (default: no limit)\n"
    "  --efs-refuse-sync  the sync request (48) answers an error\n"
    "  --efs-endless PATH the folder PATH and each folder below it hold two more folders, a and b,\n"
    "                     without end (may repeat)\n"
    "  --efs-long-name N  every listing gives one more entry, a file named with N characters\n"
    "  --efs-keep-unsynced a reset keeps file writes that were not synced (by default it loses them)\n"
    "  Files below /nv/item_files/ and /nv/reg_files/ are item files; put (38) makes item files\n"
    "  with its item-file flag, open with create alone a regular file. The old put (26) and open\n"
    "  with the item-file and make-folders flags together hang the phone for 5 seconds.\n"
    "  --no-subscriptions the subscription NV command gets the bad-command reply\n"
    "  --latency MS       delay of the line each way; requests queue and are answered in order\n"
    "  --work US          microseconds the phone takes for each request\n"
    "  --one-at-a-time    requests that reach the phone while it is busy are lost\n"
    "  --silent-after N   answer N requests, then nothing more\n"
    "  --noise            junk on the line before each reply\n"
    "  --split            replies written in small pieces\n";

CSimPtyServer* g_server = nullptr;
void OnSignal(int) {
    if (g_server) g_server->Wake();
}

bool ParseNumber(const std::string& text, long low, long high, long& value) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    value = std::stol(text);
    return value >= low && value <= high;
}

std::vector<std::string> SplitCommas(const std::string& text) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(',', start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool ParseIds(const std::string& text, std::set<int>& ids) {
    for (const auto& part : SplitCommas(text)) {
        long id = 0;
        if (!ParseNumber(part, 0, 65535, id)) return false;
        ids.insert(static_cast<int>(id));
    }
    return true;
}

bool ParseStatuses(const std::string& text, std::map<int, uint16_t>& statuses) {
    for (const auto& part : SplitCommas(text)) {
        const size_t eq = part.find('=');
        long id = 0, status = 0;
        if (eq == std::string::npos || !ParseNumber(part.substr(0, eq), 0, 65535, id) ||
            !ParseNumber(part.substr(eq + 1), 0, 65535, status))
            return false;
        statuses[static_cast<int>(id)] = static_cast<uint16_t>(status);
    }
    return true;
}

bool ParseHex32(const std::string& text, long long& value) {
    if (text.empty() || text.size() > 8 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    value = std::stoll(text, nullptr, 16);
    return true;
}

bool ParseSubsystem(const std::string& text, uint8_t& subsystem) {
    if (text == "none") subsystem = 0;
    else if (text == "0x13" || text == "0x3e" || text == "0x3E") subsystem = static_cast<uint8_t>(std::stoi(text, nullptr, 16));
    else return false;
    return true;
}

// A backup by its name; other files given to --from are the simulator's own text form.
bool IsBackup(const std::string& path) { return BackupKindOfName(path) != EBackupKind::Unknown; }

// Empty when the document's operation completed, else why not (the document's loads and saves
// run as the window runs them, so the store holds what a load gives).
std::string Failure(const SOutcome& outcome, const std::string& otherwise) {
    if (outcome.IsCompleted()) return {};
    return outcome.reason.empty() ? otherwise : outcome.reason;
}

// The records of that subscription; -1: of every subscription but the default one.
CNVItemArray OfSubscription(const CNVItemArray& items, int subscription) {
    CNVItemArray out;
    for (const CNVItem& r : items)
        if (subscription < 0 ? r.Subscription() != 0 : r.Subscription() == subscription) out.Add(r);
    return out;
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "tessiva-phone-sim: %s\n", message.c_str());
    return 1;
}
}  // namespace

int main(int argc, char** argv) {
    std::string dir = ".", from, save, link, files;
    long long esn = -1;
    SSimPhoneOptions phoneOptions;
    SSimLineOptions lineOptions;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (a == "--noise") {
            lineOptions.noise = true;
            continue;
        }
        if (a == "--split") {
            lineOptions.split = true;
            continue;
        }
        if (a == "--efs-full") {
            phoneOptions.efsFull = true;
            continue;
        }
        if (a == "--efs-refuse-sync") {
            phoneOptions.efsRefuseSync = true;
            continue;
        }
        if (a == "--efs-keep-unsynced") {
            phoneOptions.efsKeepUnsynced = true;
            continue;
        }
        if (a == "--no-subscriptions") {
            phoneOptions.subscriptions = false;
            continue;
        }
        if (a == "--one-at-a-time") {
            lineOptions.oneAtATime = true;
            continue;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tessiva-phone-sim: unknown option or missing value: %s\n%s", a.c_str(), kUsage);
            return 2;
        }
        const std::string v = argv[++i];
        long n = 0;
        bool good = true;
        if (a == "--dir") dir = v;
        else if (a == "--from") from = v;
        else if (a == "--save") save = v;
        else if (a == "--link") link = v;
        else if (a == "--readonly") good = ParseIds(v, phoneOptions.readOnly);
        else if (a == "--unreadable") good = ParseIds(v, phoneOptions.unreadable);
        else if (a == "--answer-other") good = ParseIds(v, phoneOptions.answerForOther);
        else if (a == "--corrupt-writes") good = ParseIds(v, phoneOptions.corruptWrites);
        else if (a == "--esn") good = ParseHex32(v, esn);
        else if (a == "--read-status") good = ParseStatuses(v, phoneOptions.readStatus);
        else if (a == "--spc") phoneOptions.spcCode = v;
        else if (a == "--files") files = v;
        else if (a == "--efs-fail") phoneOptions.efsFail.insert(v);
        else if (a == "--efs-hidden") phoneOptions.efsHidden.insert(v);
        else if (a == "--efs-unlistable") phoneOptions.efsUnlistable.insert(v);
        else if (a == "--efs-endless") phoneOptions.efsEndless.insert(v);
        else if (a == "--efs-long-name" && (good = ParseNumber(v, 1, 100000, n))) phoneOptions.efsLongName = static_cast<size_t>(n);
        else if (a == "--efs-journal" && (good = ParseNumber(v, 1, 1000000000, n))) phoneOptions.efsJournal = static_cast<int>(n);
        else if (a == "--efs-subsystem") good = ParseSubsystem(v, phoneOptions.efsSubsystem);
        else if (a == "--spc-penalty" && (good = ParseNumber(v, 0, 86400, n))) phoneOptions.spcPenalty = std::chrono::seconds(n);
        else if (a == "--latency" && (good = ParseNumber(v, 0, 60000, n))) lineOptions.latency = std::chrono::milliseconds(n);
        else if (a == "--silent-after" && (good = ParseNumber(v, 0, 1000000000, n))) lineOptions.silentAfter = n;
        else if (a == "--work" && (good = ParseNumber(v, 0, 60000000, n))) lineOptions.work = std::chrono::microseconds(n);
        else if (good) {
            std::fprintf(stderr, "tessiva-phone-sim: unknown option %s\n%s", a.c_str(), kUsage);
            return 2;
        }
        if (!good) {
            std::fprintf(stderr, "tessiva-phone-sim: bad value for %s: %s\n", a.c_str(), v.c_str());
            return 2;
        }
    }

    CConsoleFrontend console;
    CJobControl jobs(console, console);
    CTessivaDoc doc(jobs);
    doc.SetDirectory(dir);
    CSimNvStore store;
    const bool needDefinitions = IsBackup(from) || IsBackup(save);
    if (needDefinitions || std::filesystem::exists(doc.DefinitionsPath())) {
        if (const std::string why = Failure(doc.LoadDefinitions(), "can't read " + doc.DefinitionsPath() + ".");
            !why.empty())
            return Fail(why);
        store.SetDefinitions(doc.Definitions());
    }
    std::string error;
    CSimPhone phone(store, phoneOptions);
    CSimNumberedImage image;
    if (IsBackup(from)) {
        SBackupContent content;
        if (const std::string why = Failure(ReadBackup(jobs, from, doc.Definitions(), content), "can't load " + from + ".");
            !why.empty())
            return Fail(why);
        if (content.numbered.IsNumbered()) {
            if (!image.Load(content.TakeNumbered(), from, phone, error)) return Fail(error);
        } else {
            (void)doc.SetRecords(std::move(content.records));
            store.LoadRecords(OfSubscription(doc.Items(), 0));
        }
    } else if (!from.empty() && !store.LoadText(from, error)) {
        return Fail(error);
    }

    if (esn >= 0) {
        const auto e = static_cast<uint32_t>(esn);
        store.Put(0, CSimNvStore::kPlain,
                  {static_cast<uint8_t>(e), static_cast<uint8_t>(e >> 8), static_cast<uint8_t>(e >> 16),
                   static_cast<uint8_t>(e >> 24)});
    }

    if (!files.empty() && !phone.Files().AddHostFolder(files, error)) return Fail(error);

    CSimPtyServer server(phone, lineOptions);
    if (!server.Open(error) || (!link.empty() && !server.MakeLink(link, error))) return Fail(error);
    g_server = &server;
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("%s\n", server.DevicePath().c_str());
    std::fflush(stdout);

    server.Run();
    server.Stop();
    g_server = nullptr;

    if (save.empty()) return 0;
    if (!IsBackup(save)) return store.SaveText(save, error) ? 0 : Fail(error);
    if (BackupKindOfName(save) == EBackupKind::Qcn || BackupKindOfName(save) == EBackupKind::Xqcn)
        return image.Save(save, phone, error) ? 0 : Fail(error);
    // The link reaches only the default subscription: the others go back as they came.
    CNVItemArray memory;
    store.ExportRecords(memory);
    (void)doc.TakePhoneRecords(std::move(memory));
    const std::string why = Failure(doc.SaveBackup(save), "can't save " + save + ".");
    return why.empty() ? 0 : Fail(why);
}
