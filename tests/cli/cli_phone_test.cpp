// The phone commands against tessiva-phone-sim processes on pseudo-terminals.
#include "doc/phone_image.h"
#include "files/backup_tree.h"
#include "phone/efs_commands.h"
#include "real_modem_backup.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {
const char* const kDefinitions =
    "# name;id;file;group;size;type\n"
    "Plain Ten;10;nv10;Alpha;4;uint32\n"
    "Array Twenty;20;nv20;Beta;2[3];uint16\n"
    "Thirty;30;nv30;Alpha;1;uint8\n"
    "Fifty;50;nv50;Gamma;3;uint8\n";

const char* const kStore = "10;-1;01020304\n20;0;0a0b\n20;1;0e0f\n50;-1;050607\n";

// A saved store with each value's trailing zero bytes left out (a numbered backup holds 128).
std::string WithoutTrailingZeros(const std::string& store) {
    std::string out, line;
    for (size_t at = 0; at < store.size(); at += line.size() + 1) {
        line = store.substr(at, store.find('\n', at) - at);
        std::string trimmed = line;
        while (trimmed.size() > line.rfind(';') + 1 && trimmed.compare(trimmed.size() - 2, 2, "00") == 0) trimmed.resize(trimmed.size() - 2);
        out += trimmed + "\n";
    }
    return out;
}

// A running tessiva-phone-sim; SIGTERM (and its save) when it goes out of scope.
class CSimProcess {
public:
    // errPath: where its stderr goes, else the test's.
    explicit CSimProcess(const std::vector<std::string>& options, const std::string& errPath = {}) {
        std::vector<std::string> args = {BinDir() + "/tessiva-phone-sim"};
        args.insert(args.end(), options.begin(), options.end());
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        int out[2];
        if (pipe(out) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, out[0]);
        if (!errPath.empty())
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        FILE* f = fdopen(out[0], "r");
        char line[256] = {};
        if (f && std::fgets(line, sizeof line, f)) m_device = std::string(line, std::strcspn(line, "\n"));
        if (f) std::fclose(f);
    }
    ~CSimProcess() { Stop(); }
    const std::string& Device() const { return m_device; }
    // SIGTERM and the exit status.
    int Stop() {
        if (m_pid <= 0) return -1;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    pid_t m_pid = -1;
    std::string m_device;
};

class CliPhoneTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_dir = MakeTempDir("cli-phone");
        WriteFile(m_dir + "/NVItemsDefine.def", kDefinitions);
        WriteFile(m_dir + "/store.txt", kStore);
        // Backups before downloads go below the test's folder, never into the user's.
        setenv("XDG_DATA_HOME", (m_dir + "/data").c_str(), 1);
    }
    std::vector<std::string> Backups() const {
        std::vector<std::string> paths;
        std::error_code error;
        for (const auto& e : std::filesystem::directory_iterator(m_dir + "/data/Tessiva/backups", error))
            paths.push_back(e.path().string());
        return paths;
    }
    int Cli(const std::string& args, std::string* out = nullptr, std::string* err = nullptr) {
        return RunCommand(BinDir() + "/tessiva-cli --dir " + m_dir + " " + args, out, err);
    }
    std::vector<std::string> SimArgs(const std::vector<std::string>& more) {
        std::vector<std::string> args = {"--dir", m_dir};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }
    std::string m_dir;
};
}  // namespace

TEST_F(CliPhoneTest, UploadThenDownloadCopiesOnePhoneIntoAnother) {
    // The sample definitions and the sample backup as the first phone's memory.
    const std::string examples = SourceDir() + "/examples";
    for (const std::string kind : {"cnv", "brt", "qcn"}) {
        SCOPED_TRACE(kind);
        const std::string backup = m_dir + "/phone." + kind;
        CSimProcess source({"--dir", examples, "--from", examples + "/sample.cnv", "--save", m_dir + "/a.txt"});
        ASSERT_FALSE(source.Device().empty());
        const std::string cli = BinDir() + "/tessiva-cli --dir " + examples + " ";
        std::string out, err;
        ASSERT_EQ(RunCommand(cli + "upload --port " + source.Device() + " " + backup, &out, &err), 0) << err;
        EXPECT_EQ(out.rfind("Uploaded ", 0), 0u) << out;
        ASSERT_EQ(RunCommand(cli + "dump --json " + backup, &out, &err), 0) << err;
        EXPECT_NE(out.find("\"active\":1"), std::string::npos);

        CSimProcess target({"--dir", examples, "--save", m_dir + "/b.txt"});
        // The sample holds the ESN and the SPC code, which a phone takes only after the SPC code.
        ASSERT_EQ(RunCommand(cli + "spc --port " + target.Device() + " 000000", &out, &err), 0) << err;
        ASSERT_EQ(RunCommand(cli + "download --port " + target.Device() + " " + backup, &out, &err), 0) << err;
        // A third phone loads the backup itself.
        CSimProcess loaded({"--dir", examples, "--from", backup, "--save", m_dir + "/c.txt"});
        ASSERT_FALSE(loaded.Device().empty());
        EXPECT_EQ(source.Stop(), 0);
        EXPECT_EQ(target.Stop(), 0);
        EXPECT_EQ(loaded.Stop(), 0);
        const std::string a = ReadFile(m_dir + "/a.txt");
        EXPECT_GT(a.size(), 1000u);
        EXPECT_EQ(ReadFile(m_dir + "/b.txt"), a);
        EXPECT_EQ(ReadFile(m_dir + "/c.txt"), a);
    }
}

TEST_F(CliPhoneTest, UploadByListAndDownloadOfSelectedItems) {
    CSimProcess source(SimArgs({"--from", m_dir + "/store.txt"}));
    WriteFile(m_dir + "/list.csv", "NV Item Name;NV ID\nFifty;50\nArray Twenty;20");
    std::string out, err;
    ASSERT_EQ(Cli("upload --port " + source.Device() + " --list " + m_dir + "/list.csv " + m_dir + "/part.cnv", &out,
                  &err),
              0)
        << err;
    EXPECT_EQ(out.rfind("Uploaded 4 records: 3 active, 1 not active", 0), 0u) << out;

    CSimProcess target(SimArgs({"--save", m_dir + "/b.txt"}));
    ASSERT_EQ(Cli("download --port " + target.Device() + " --ids 50 " + m_dir + "/part.cnv", &out, &err), 0) << err;
    EXPECT_EQ(out.rfind("Wrote 1 active records of ", 0), 0u) << out;
    // Again: the phone holds the value already, and says so rather than "Wrote 0".
    ASSERT_EQ(Cli("download --port " + target.Device() + " --ids 50 " + m_dir + "/part.cnv", &out, &err), 0) << err;
    EXPECT_NE(out.find("to the phone; 1 the phone held already were not written again."), std::string::npos) << out;
    EXPECT_EQ(Cli("download --port " + target.Device() + " --ids 10 " + m_dir + "/part.cnv", &out, &err), 1);
    EXPECT_NE(err.find("NV item 10 is not in"), std::string::npos) << err;
    target.Stop();
    EXPECT_EQ(ReadFile(m_dir + "/b.txt"), "# id;index;value\n50;-1;050607\n");
}

TEST_F(CliPhoneTest, RecordsThatCannotBeBackedUpAreWrittenOnlyWithForce) {
    CSimProcess source(SimArgs({"--from", m_dir + "/store.txt"}));
    std::string out, err;
    ASSERT_EQ(Cli("upload --port " + source.Device() + " " + m_dir + "/up.cnv", &out, &err), 0) << err;
    // A store the download changes everywhere, and a phone that won't tell items 10 and 20.
    WriteFile(m_dir + "/other.txt", "10;-1;09090909\n20;0;0909\n20;1;0909\n50;-1;090909\n");
    CSimProcess phone(SimArgs({"--from", m_dir + "/other.txt", "--unreadable", "10", "--read-status", "20=4",
                               "--save", m_dir + "/after.txt"}));
    EXPECT_EQ(Cli("download --port " + phone.Device() + " " + m_dir + "/up.cnv", &out, &err), 1);
    // One line for the three records of one outcome, each named.
    EXPECT_NE(err.find("not written (3): its current state could not be backed up: Plain Ten (ID 10), Array Twenty [ 0 ] "
                       "(ID 20, index 0), Array Twenty [ 1 ] (ID 20, index 1)"),
              std::string::npos)
        << err;
    // Written knowingly; the read-backs of the same items would fail as the backup reads did.
    EXPECT_EQ(Cli("download --force --no-verify --port " + phone.Device() + " " + m_dir + "/up.cnv", &out, &err), 0)
        << err;
    phone.Stop();
    EXPECT_EQ(ReadFile(m_dir + "/after.txt"), "# id;index;value\n" + std::string(kStore));
}

TEST_F(CliPhoneTest, RefusalsOfThePhone) {
    CSimProcess phone(SimArgs({"--from", m_dir + "/store.txt", "--readonly", "50", "--unreadable", "30",
                               "--spc", "246810", "--spc-penalty", "0"}));
    std::string out, err;
    ASSERT_EQ(Cli("upload --port " + phone.Device() + " --timeout 300 " + m_dir + "/up.cnv", &out, &err), 0) << err;
    EXPECT_NE(out.find("1 unreadable"), std::string::npos) << out;

    // What the phone holds already is not written: no refusal then.
    EXPECT_EQ(Cli("download --port " + phone.Device() + " " + m_dir + "/up.cnv", &out, &err), 0) << err;
    WriteFile(m_dir + "/fifty.txt", "50;-1;090909\n");
    CSimProcess locked(SimArgs({"--from", m_dir + "/fifty.txt", "--readonly", "50"}));
    EXPECT_EQ(Cli("download --port " + locked.Device() + " " + m_dir + "/up.cnv", &out, &err), 1);
    EXPECT_NE(err.find("write protected: Fifty (ID 50): Fifty is write protected. It can't be downloaded to "
                       "Mobile Phone!\n"),
              std::string::npos)
        << err;

    EXPECT_EQ(Cli("spc --port " + phone.Device() + " 24681099", &out, &err), 0) << err;
    EXPECT_EQ(out, "SPC code accepted.\n");
    EXPECT_EQ(Cli("spc --port " + phone.Device() + " 111111", &out, &err), 1);
    EXPECT_EQ(err, "WRONG SPC CODE Phone will be time out for 10 sec\n");
}

TEST_F(CliPhoneTest, PhoneThatFallsSilentDuringAnUpload) {
    // Answers the probe, item 10 and element 0 of item 20, then nothing.
    CSimProcess phone(SimArgs({"--from", m_dir + "/store.txt", "--silent-after", "3"}));
    std::string out, err;
    // A good backup at OUT is never replaced by the part that was read.
    const std::string up = m_dir + "/up.cnv";
    std::filesystem::copy_file(SourceDir() + "/examples/sample.cnv", up);
    const std::vector<uint8_t> good = ReadBytes(up);
    EXPECT_EQ(Cli("upload --port " + phone.Device() + " --timeout 200 " + up, &out, &err), 1);
    EXPECT_EQ(out, "Uploaded 6 records: 2 active, 0 not active, 4 unreadable.\n");
    EXPECT_NE(err.find("stopped answering during the upload"), std::string::npos) << err;
    EXPECT_NE(err.find("did not answer within 200 ms"), std::string::npos) << err;
    EXPECT_EQ(ReadBytes(up), good);
    // --partial writes only a new file, unless told to overwrite.
    CSimProcess again(SimArgs({"--from", m_dir + "/store.txt", "--silent-after", "3"}));
    EXPECT_EQ(Cli("upload --port " + again.Device() + " --timeout 200 --partial " + up, &out, &err), 1);
    EXPECT_EQ(ReadBytes(up), good);
    CSimProcess third(SimArgs({"--from", m_dir + "/store.txt", "--silent-after", "3"}));
    EXPECT_EQ(Cli("upload --port " + third.Device() + " --timeout 200 --partial " + m_dir + "/new.cnv", &out, &err), 1);
    EXPECT_NE(out.find("Saved the 2 active records to " + m_dir + "/new.cnv."), std::string::npos) << out;
    EXPECT_EQ(Cli("spc --port " + phone.Device() + " --timeout 100 000000", &out, &err), 1);
}

TEST_F(CliPhoneTest, UsageAndPortErrors) {
    std::string out, err;
    EXPECT_EQ(Cli("upload " + m_dir + "/x.cnv", &out, &err), 2);
    EXPECT_EQ(Cli("upload --port /dev/null " + m_dir + "/x.txt", &out, &err), 2);
    EXPECT_EQ(Cli("download --port /dev/null " + m_dir + "/x.dat", &out, &err), 2);
    EXPECT_EQ(Cli("spc --port /dev/null --timeout soon 000000", &out, &err), 2);
    for (const char* window : {"0", "65", "eight"})
        EXPECT_EQ(Cli("upload --port /dev/null --window " + std::string(window) + " " + m_dir + "/x.cnv", &out, &err), 2);
    EXPECT_EQ(Cli("spc --port " + m_dir + "/nothing 000000", &out, &err), 1);
    EXPECT_EQ(err, "Port " + m_dir + "/nothing does not exist.\n");
    EXPECT_EQ(Cli("ports", &out, &err), 0);
    EXPECT_EQ(Cli("ports --json", &out, &err), 0);
    EXPECT_EQ(out.rfind("{\"ports\":[", 0), 0u);
}

TEST_F(CliPhoneTest, DownloadBacksUpVerifiesReportsAndItsBackupRestoresThePhone) {
    // New values for every record of the phone, as a backup.
    WriteFile(m_dir + "/new.txt", "10;-1;0a0a0a0a\n20;0;1111\n20;1;2222\n50;-1;555555\n");
    CSimProcess other(SimArgs({"--from", m_dir + "/new.txt"}));
    std::string out, err;
    ASSERT_EQ(Cli("upload --port " + other.Device() + " " + m_dir + "/new.cnv", &out, &err), 0) << err;

    CSimProcess phone(SimArgs({"--from", m_dir + "/store.txt", "--save", m_dir + "/after.txt", "--readonly", "50",
                               "--corrupt-writes", "10", "--esn", "8012ABCD"}));
    EXPECT_EQ(Cli("download --port " + phone.Device() + " --report " + m_dir + "/r.json " + m_dir + "/new.cnv", &out,
                  &err),
              1);
    EXPECT_NE(err.find("write protected: Fifty (ID 50)"), std::string::npos) << err;
    EXPECT_NE(err.find("failed: Plain Ten (ID 10): read-back differs"), std::string::npos) << err;
    const std::string json = ReadFile(m_dir + "/r.json");
    EXPECT_NE(json.find("\"verified\":2,\"written\":0,\"protected\":1,\"failed\":1"), std::string::npos) << json;
    phone.Stop();

    // The backup holds the phone's values before the download, and restores them.
    const std::vector<std::string> backups = Backups();
    ASSERT_EQ(backups.size(), 1u);
    EXPECT_NE(backups[0].find("-esn-8012abcd.qcn"), std::string::npos) << backups[0];
    EXPECT_NE(json.find(backups[0]), std::string::npos);
    CSimProcess fromBackup(SimArgs({"--from", backups[0], "--save", m_dir + "/backup.txt"}));
    fromBackup.Stop();
    EXPECT_EQ(WithoutTrailingZeros(ReadFile(m_dir + "/backup.txt")), std::string("# id;index;value\n") + kStore);
    CSimProcess changed(SimArgs({"--from", m_dir + "/after.txt", "--save", m_dir + "/restored.txt"}));
    ASSERT_EQ(Cli("download --port " + changed.Device() + " " + backups[0], &out, &err), 0) << err;
    changed.Stop();
    CSimProcess original(SimArgs({"--from", m_dir + "/store.txt", "--esn", "8012ABCD", "--save", m_dir + "/original.txt"}));
    original.Stop();
    EXPECT_EQ(ReadFile(m_dir + "/restored.txt"), ReadFile(m_dir + "/original.txt"));
    EXPECT_EQ(Backups().size(), 2u);  // the restore was backed up too

    // A data folder that can't be written: nothing goes to the phone.
    setenv("XDG_DATA_HOME", (m_dir + "/r.json/data").c_str(), 1);
    CSimProcess untouched(SimArgs({"--from", m_dir + "/store.txt", "--save", m_dir + "/untouched.txt"}));
    EXPECT_EQ(Cli("download --port " + untouched.Device() + " " + m_dir + "/new.cnv", &out, &err), 1);
    EXPECT_EQ(err.rfind("Nothing was written: the backup could not be saved.", 0), 0u) << err;
    untouched.Stop();
    EXPECT_EQ(ReadFile(m_dir + "/untouched.txt"), std::string("# id;index;value\n") + kStore);
}

TEST_F(CliPhoneTest, EfsMovesWholeFilesAndTheSimulatorKeepsItsWholeMemoryInAQcn) {
    const std::string examples = SourceDir() + "/examples";
    std::string big;
    for (int i = 0; i < 3000; ++i) big += static_cast<char>(i * 13 + i / 256);
    std::filesystem::create_directories(m_dir + "/files/nv/item_files/modem");
    WriteFile(m_dir + "/files/nv/item_files/modem/big", big);
    CSimProcess phone({"--dir", examples, "--from", examples + "/sample-numbered.qcn", "--files", m_dir + "/files",
                       "--save", m_dir + "/after.qcn", "--efs-fail", "/nv/failing"});
    const std::string efs = "efs --port " + phone.Device() + " ";
    std::string out, err;
    ASSERT_EQ(Cli(efs + "get /nv/item_files/modem/big " + m_dir + "/got", &out, &err), 0) << err;
    EXPECT_EQ(ReadFile(m_dir + "/got"), big);
    ASSERT_EQ(Cli(efs + "put " + m_dir + "/got /nv/new/copy", &out, &err), 0) << err;
    ASSERT_EQ(Cli(efs + "ls /nv/new", &out, &err), 0) << err;
    EXPECT_EQ(out, "-       3000  copy\n");
    // What rm and put replace is kept below the backups folder, and the CLI says where.
    const auto copyNamed = [&](const std::string& lead) {
        const size_t at = out.find(lead);
        if (at == std::string::npos) return std::string("no copy named in: ") + out;
        const size_t from = at + lead.size();
        return ReadFile(out.substr(from, out.find('\n', from) - 1 - from));  // without the full stop
    };
    ASSERT_EQ(Cli(efs + "rm /nv/item_files/modem/big", &out, &err), 0) << err;
    EXPECT_EQ(copyNamed("A copy is in "), big);
    EXPECT_EQ(Cli(efs + "get /nv/item_files/modem/big " + m_dir + "/again", &out, &err), 1);
    EXPECT_NE(err.find("/nv/item_files/modem/big: no such file (errno 2)"), std::string::npos) << err;
    EXPECT_EQ(Cli(efs + "put " + m_dir + "/got /nv/failing", &out, &err), 1);
    EXPECT_NE(err.find("/nv/failing: input/output error (errno 5)"), std::string::npos) << err;
    EXPECT_EQ(Cli(efs + "cat /nv/new/copy", &out, &err), 2);
    // An item file larger than one put goes by open with the item-file flag; the types show.
    WriteFile(m_dir + "/cal", std::string(20 * 1024, '\x5A'));
    ASSERT_EQ(Cli(efs + "put " + m_dir + "/cal /nv/item_files/rfnv/00020000", &out, &err), 0) << err;
    EXPECT_EQ(out, "Wrote 20480 bytes of " + m_dir + "/cal to /nv/item_files/rfnv/00020000 as an item file.\n");
    WriteFile(m_dir + "/cal2", std::string(20 * 1024, '\x3C'));
    ASSERT_EQ(Cli(efs + "put " + m_dir + "/cal2 /nv/item_files/rfnv/00020000", &out, &err), 0) << err;
    EXPECT_EQ(copyNamed("The phone's old file is in "), std::string(20 * 1024, '\x5A'));
    ASSERT_EQ(Cli(efs + "put " + m_dir + "/cal2 /nv/item_files/rfnv/00020000", &out, &err), 0) << err;
    EXPECT_EQ(out, "/nv/item_files/rfnv/00020000 already holds the 20480 bytes of " + m_dir +
                       "/cal2 as an item file: nothing was written.\n");
    ASSERT_EQ(Cli(efs + "put --item " + m_dir + "/got /nv/new/item", &out, &err), 0) << err;
    ASSERT_EQ(Cli(efs + "ls /nv/item_files/rfnv", &out, &err), 0) << err;
    EXPECT_EQ(out, "i      20480  00020000\n");
    // Host files that are no files are refused before the phone is touched.
    for (const std::string& source : std::vector<std::string>{"/dev/zero", m_dir}) {
        SCOPED_TRACE(source);
        EXPECT_EQ(Cli(efs + "put " + source + " /nv/new/copy", &out, &err), 1);
        EXPECT_NE(err.find("not a regular file"), std::string::npos) << err;
    }
    ASSERT_EQ(Cli(efs + "get /nv/new/copy " + m_dir + "/still", &out, &err), 0) << err;
    EXPECT_EQ(ReadFile(m_dir + "/still"), big);
    EXPECT_EQ(phone.Stop(), 0);

    // Records of every subscription as they came, the files as the phone now holds them.
    const auto before = OleStreams(examples + "/sample-numbered.qcn");
    const auto after = OleStreams(m_dir + "/after.qcn");
    for (const std::string stream : {"NV_ITEM_ARRAY", "NV_ITEM_ARRAY_SIM_1"}) {
        const std::string name = "00000000/default/NV_NUMBERED_ITEMS/" + stream;
        EXPECT_EQ(after.at(name), before.at(name)) << name;
    }
    std::set<std::string> paths;
    for (const auto& [name, hex] : after) {
        // Item files in NV_Items; regular files in EFS_Backup, after its 8-byte header.
        const bool item = name.find("/NV_Items/EFS_Dir/") != std::string::npos;
        if (!item && name.find("/EFS_Backup/EFS_Dir/") == std::string::npos) continue;
        std::string path;
        for (size_t i = item ? 0 : 16; i + 1 < hex.size(); i += 2)
            path += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
        paths.insert((item ? "item " : "regular ") + path);
    }
    // A put that failed left no file behind.
    EXPECT_TRUE(paths.count("regular /nv/new/copy") && paths.count("item /nv/new/item") &&
                paths.count("item /nv/item_files/rfnv/00020000") && !paths.count("regular /nv/failing") &&
                !paths.count("item /nv/item_files/modem/big"));
}

TEST_F(CliPhoneTest, WholePhoneBackupAndRestoreFaults) {
    // A whole backup to restore: the store's records and one item file.
    const std::string band = "/nv/item_files/modem/band";
    std::filesystem::create_directories(m_dir + "/files/nv/item_files/modem");
    WriteFile(m_dir + "/files" + band, "\x01\x02");
    const std::string in = m_dir + "/in.qcn", out = m_dir + "/out.qcn";
    std::string stdOut, err;
    {
        CSimProcess source(SimArgs({"--from", m_dir + "/store.txt", "--files", m_dir + "/files"}));
        ASSERT_EQ(Cli("backup --port " + source.Device() + " " + in, &stdOut, &err), 0) << err;
        EXPECT_EQ(stdOut, "Backed up 4 records, 0 subscription records and 1 item files of the phone into " + in + ".\n");
    }
    struct SRow {
        const char* name;
        std::vector<std::string> sim;
        std::string command;
        std::string said;  // on stderr; each row exits 1
    };
    const SRow rows[] = {
        {"a write-protected record is named", {"--readonly", "50"}, "restore " + in,
         "write protected: Fifty (ID 50)"},
        {"a phone without a file system still gives its records", {"--efs-subsystem", "none"}, "backup " + out,
         "Item files could not be read: The phone does not answer the file system commands."},
        {"a file failing half way is a failed file", {"--files", m_dir + "/files", "--efs-fail", band},
         "restore --force " + in, "failed: item file " + band + ": input/output error (errno 5)"},
        {"a full file system", {"--efs-full"}, "restore " + in,
         "failed: item file " + band + ": no space left on the phone (errno 28)"},
        {"a record the phone would not read for the backup", {"--unreadable", "10"}, "restore " + in,
         "not written: Plain Ten (ID 10): its current state could not be backed up"},
        {"a phone falling silent", {"--silent-after", "5"}, "restore --timeout 300 " + in,
         "not written: Array Twenty (ID 20, index 0): not attempted: the link to the phone failed"},
        // Folder entries past what a path or a reply can hold: the records are saved all the same.
        {"an entry no path can reach", {"--files", m_dir + "/files", "--efs-long-name", "5000"},
         "backup " + m_dir + "/long.qcn", "a name of 5000 characters no path of the phone can reach: item file /nv/item_files/nnn"},
        {"an entry no reply can hold", {"--files", m_dir + "/files", "--efs-long-name", "10000"},
         "backup --timeout 300 " + m_dir + "/longer.qcn", "did not answer within 300 ms"},
        {"subscriptions asked of a phone without them", {"--no-subscriptions"}, "backup --subscriptions 1 " + m_dir + "/subs.xqcn",
         "failed: Plain Ten (ID 10) of subscription 1: the phone does not answer the subscription command"},
    };
    // The phones of the rows hold other values: a restore of the same values writes nothing.
    WriteFile(m_dir + "/changed.txt", "10;-1;09090909\n20;0;0909\n20;1;0909\n50;-1;090909\n");
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::vector<std::string> args = {"--from", m_dir + "/changed.txt"};
        args.insert(args.end(), row.sim.begin(), row.sim.end());
        CSimProcess phone(SimArgs(args));
        EXPECT_EQ(Cli(row.command.substr(0, row.command.find(' ')) + " --port " + phone.Device() +
                          row.command.substr(row.command.find(' ')),
                      &stdOut, &err),
                  1);
        EXPECT_NE(err.find(row.said), std::string::npos) << err;
    }
    // The phone's software version from its version reply, "SIM00001" after its length.
    EXPECT_NE(OleStreams(in).at("00000000/default/Mobile_Property_Info").find("080053494d3030303031"),
              std::string::npos);
    // The backups without item files hold the records all the same.
    for (const std::string& partial : {out, m_dir + "/long.qcn", m_dir + "/longer.qcn"}) {
        SCOPED_TRACE(partial);
        ASSERT_TRUE(std::filesystem::exists(partial));
        const std::string records = OleStreams(partial)["00000000/default/NV_NUMBERED_ITEMS/NV_ITEM_ARRAY"];
        EXPECT_EQ(records.size(), OleStreams(in).at("00000000/default/NV_NUMBERED_ITEMS/NV_ITEM_ARRAY").size());
        EXPECT_NE(records.find("880001000a00000009090909"), std::string::npos);  // that phone's item 10
    }
}

// A restore onto a full phone leaves its files as they were, exits 1 and names what it put back.
TEST_F(CliPhoneTest, ARestoreOntoAFullPhoneLeavesItsFilesAsTheyWere) {
    // One file goes by put, whole or not at all; the other, larger, by open and write.
    const std::string large = "/nv/item_files/modem/large", small = "/nv/item_files/modem/small";
    for (const char* phone : {"/new", "/old"}) std::filesystem::create_directories(m_dir + phone + "/nv/item_files/modem");
    WriteFile(m_dir + "/new" + large, std::string(9000, '\x33'));
    WriteFile(m_dir + "/new" + small, std::string(100, '\x44'));
    WriteFile(m_dir + "/old" + large, std::string(7000, '\x11'));
    WriteFile(m_dir + "/old" + small, std::string(8, '\x22'));
    std::string out, err;
    {
        CSimProcess source(SimArgs({"--from", m_dir + "/store.txt", "--files", m_dir + "/new"}));
        ASSERT_EQ(Cli("backup --port " + source.Device() + " " + m_dir + "/new.qcn", &out, &err), 0) << err;
    }
    CSimProcess full(SimArgs({"--from", m_dir + "/store.txt", "--files", m_dir + "/old", "--efs-full"}));
    EXPECT_EQ(Cli("restore --port " + full.Device() + " " + m_dir + "/new.qcn", &out, &err), 1);
    EXPECT_NE(err.find("Put back from the backup after a failed write: " + large), std::string::npos) << err;
    // efs put alike.
    EXPECT_EQ(Cli("efs --port " + full.Device() + " put " + m_dir + "/new" + large + " " + large, &out, &err), 1);
    EXPECT_NE(err.find("no space left on the phone (errno 28). The phone's old file was put back."), std::string::npos) << err;
    for (const std::string& path : {large, small}) {
        ASSERT_EQ(Cli("efs --port " + full.Device() + " get " + path + " " + m_dir + "/now", &out, &err), 0) << err;
        EXPECT_EQ(ReadFile(m_dir + "/now"), ReadFile(m_dir + "/old" + path)) << path;
    }
}

TEST_F(CliPhoneTest, TheNumberedSampleRestoresWholeOntoAnEmptyPhone) {
    const std::string examples = SourceDir() + "/examples", sample = examples + "/sample-numbered.qcn";
    const std::string cli = BinDir() + "/tessiva-cli --dir " + examples + " ";
    CSimProcess empty({"--dir", examples, "--save", m_dir + "/restored.qcn"});
    std::string out, err;
    ASSERT_EQ(RunCommand(cli + "spc --port " + empty.Device() + " 000000", &out, &err), 0) << err;  // for the ESN
    ASSERT_EQ(RunCommand(cli + "restore --port " + empty.Device() + " --report " + m_dir + "/r.json " + sample, &out, &err),
              0)
        << err;
    EXPECT_NE(ReadFile(m_dir + "/r.json")
                  .find("\"byKind\":{\"records\":{\"verified\":8,\"written\":0,\"protected\":0,\"failed\":0,"
                        "\"notWritten\":0,\"notBackedUp\":8,\"read\":0,\"unchanged\":0},\"subscriptionRecords\":{\"verified\":1,"),
              std::string::npos);
    EXPECT_NE(ReadFile(m_dir + "/r.json").find("\"files\":{\"verified\":3,"), std::string::npos);
    ASSERT_EQ(empty.Stop(), 0);
    const auto before = OleStreams(sample), after = OleStreams(m_dir + "/restored.qcn");
    for (const std::string stream : {"NV_ITEM_ARRAY", "NV_ITEM_ARRAY_SIM_1"}) {
        const std::string name = "00000000/default/NV_NUMBERED_ITEMS/" + stream;
        EXPECT_EQ(after.at(name), before.at(name)) << name;
    }
}

// The whole phone through the commands, against a simulated modem that behaves as real ones
// do: its journal fills until a sync, a reset keeps only what was synced, it hides files and
// refuses to list a folder, and requests that hang a modem are counted.
TEST_F(CliPhoneTest, TheWholePhoneAgainstAModemThatBehavesAsRealOnesDo) {
    const SNumberedBackup real = RealModem::RealisticBackup();
    const std::string realPath = m_dir + "/real.qcn";
    CCompoundNode tree;
    std::string error;
    ASSERT_TRUE(EncodeNumbered(real, tree, error) && WriteBackupTree(realPath, tree, EBackupForm::Compound, error)) << error;
    // The items of its records the test definitions lack.
    WriteFile(m_dir + "/NVItemsDefine.def", std::string(kDefinitions) + "Thirty One;31;nv31;Alpha;1;uint8\n"
                                                                        "Forty;40;nv40;Alpha;2;uint16\n"
                                                                        "Array Sixty;60;nv60;Beta;1[2];uint8\n");
    // A phone hiding an item file NVItemFiles.def names, with a folder it won't list before others.
    const std::string hidden = "/nv/item_files/modem/mmode/lte_bandpref", locked = "/nv/item_files/locked",
                      before = "/nv/item_files/a/x", after = "/nv/item_files/modem/z";
    WriteFile(m_dir + "/NVItemFiles.def", "LTE_BANDPREF;" + hidden + ";Band;8;uint64\n");
    for (const std::string& f : {before, locked + "/y", after, hidden}) {
        std::filesystem::create_directories(std::filesystem::path(m_dir + "/files" + f).parent_path());
        WriteFile(m_dir + "/files" + f, f);
    }
    // Each file of a backup: its mode and bytes.
    using SFiles = std::map<std::string, std::pair<int32_t, std::vector<uint8_t>>>;
    const auto filesOf = [](const SNumberedBackup& backup, bool itemFilesOnly) {
        SFiles files;
        for (const SItemFile& f : backup.itemFiles)
            if (!itemFilesOnly || f.path.starts_with("/nv/item_files/")) files[f.path] = {ModeOfItemFile(f), f.data};
        return files;
    };
    std::set<std::pair<uint32_t, std::vector<uint8_t>>> realRecords;
    for (const SNumberedRecord& r : real.records) realRecords.insert({r.id, {r.data.begin(), r.data.end()}});
    SFiles walked;
    for (const std::string& f : {before, after, hidden})
        walked[f] = {kEfsItemFileType | 0644, std::vector<uint8_t>(f.begin(), f.end())};

    struct SRow {
        const char* name;
        std::vector<std::string> sim;
        std::string command;  // PORT: the phone's
        int exit;
        std::string said;     // on stderr
        std::string read;     // the backup afterwards: the phone's memory (SAVE) or the command's
        bool realRecords;     // it holds the real backup's records
        SFiles files;
    };
    const std::string save = m_dir + "/phone.qcn";
    const SRow rows[] = {
        {"the real backup restored offline onto an erased phone keeps every file after the reset",
         {"--efs-journal", "100", "--save", save}, "restore --offline --port PORT " + realPath, 0, "", save, true,
         filesOf(real, false)},
        {"a backup walks past the folder the phone won't list and asks for the hidden file",
         {"--files", m_dir + "/files", "--efs-unlistable", locked, "--efs-hidden", hidden},
         "backup --scan none --port PORT " + m_dir + "/walk.qcn", 1, locked + ": the phone would not list this folder",
         m_dir + "/walk.qcn", false, walked},
        {"a backup with no options holds every record of the phone", {"--from", realPath},
         "backup --port PORT " + m_dir + "/all.qcn", 0, "", m_dir + "/all.qcn", true, filesOf(real, true)},
    };
    for (const SRow& row : rows) {
        SCOPED_TRACE(row.name);
        std::filesystem::remove(row.read);
        CSimProcess phone(SimArgs(row.sim), m_dir + "/sim.err");
        std::string command = row.command, out, err;
        command.replace(command.find("PORT"), 4, phone.Device());
        EXPECT_EQ(Cli(command, &out, &err), row.exit) << out << err;
        EXPECT_NE(err.find(row.said), std::string::npos) << err;
        ASSERT_EQ(phone.Stop(), 0);
        EXPECT_EQ(ReadFile(m_dir + "/sim.err").find("would have hung"), std::string::npos) << ReadFile(m_dir + "/sim.err");
        SNumberedBackup read;
        EBackupForm form{};
        ASSERT_TRUE(ReadBackupTree(row.read, tree, form, error) && DecodeNumbered(tree, read, error)) << error;
        EXPECT_EQ(filesOf(read, false), row.files);
        std::set<std::pair<uint32_t, std::vector<uint8_t>>> records;
        for (const SNumberedRecord& r : read.records) records.insert({r.id, {r.data.begin(), r.data.end()}});
        if (row.realRecords) {
            EXPECT_EQ(records, realRecords);
        }
    }
}

TEST_F(CliPhoneTest, TwoRestoresAtOnceEachKeepTheirOwnPhonesValues) {
    WriteFile(m_dir + "/new.txt", "10;-1;0a0a0a0a\n20;0;1111\n20;1;2222\n50;-1;555555\n");
    {
        CSimProcess source(SimArgs({"--from", m_dir + "/new.txt"}));
        ASSERT_EQ(Cli("upload --port " + source.Device() + " " + m_dir + "/new.cnv"), 0);
    }
    // Two phones with one ESN and values of their own, restored in the same second into one
    // backups folder.
    const std::string stores[] = {"10;-1;01010101\n20;0;0101\n20;1;0101\n50;-1;010101\n",
                                  "10;-1;02020202\n20;0;0202\n20;1;0202\n50;-1;020202\n"};
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE(attempt);
        std::filesystem::remove_all(m_dir + "/data");
        std::string commands;
        std::vector<std::unique_ptr<CSimProcess>> phones;
        for (int p = 0; p < 2; ++p) {
            const std::string n = std::to_string(p);
            WriteFile(m_dir + "/store" + n + ".txt", stores[p]);
            phones.push_back(std::make_unique<CSimProcess>(
                SimArgs({"--from", m_dir + "/store" + n + ".txt", "--esn", "8012ABCD", "--latency", "1"})));
            commands += BinDir() + "/tessiva-cli --dir " + m_dir + " restore --port " + phones[p]->Device() +
                        " --report " + m_dir + "/r" + n + ".json " + m_dir + "/new.cnv >/dev/null & p" + n + "=$!; ";
        }
        ASSERT_EQ(RunCommand(commands + "wait $p0 && wait $p1"), 0);
        ASSERT_EQ(Backups().size(), 2u);
        // The backups hold values of the numbered layout's full length.
        for (int p = 0; p < 2; ++p) {
            const std::string json = ReadFile(m_dir + "/r" + std::to_string(p) + ".json");
            const size_t at = json.find("\"backup\":\"") + 10;
            const std::string backup = json.substr(at, json.find('"', at) - at);
            CSimProcess fromBackup(SimArgs({"--from", backup, "--save", m_dir + "/previous.txt"}));
            fromBackup.Stop();
            const std::string previous = ReadFile(m_dir + "/previous.txt");
            for (size_t line = 0, end; (end = stores[p].find('\n', line)) != std::string::npos; line = end + 1)
                EXPECT_NE(previous.find("\n" + stores[p].substr(line, end - line)), std::string::npos) << backup;
        }
    }
}

TEST_F(CliPhoneTest, CtrlCEndsABackupOfAPhoneWhoseFoldersNeverEnd) {
    const std::string out = m_dir + "/out.qcn";
    WriteFile(out, "an earlier backup");
    CSimProcess phone(SimArgs({"--from", m_dir + "/store.txt", "--efs-endless", "/nv/item_files"}));
    const auto start = std::chrono::steady_clock::now();
    std::string stdOut, err;
    EXPECT_EQ(RunCommand("(" + BinDir() + "/tessiva-cli --dir " + m_dir + " backup --port " + phone.Device() + " " + out +
                             " & p=$!; sleep 2; kill -INT $p; wait $p)",
                         &stdOut, &err),
              1);
    EXPECT_NE(err.find("The backup was stopped; nothing was saved."), std::string::npos) << err;
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(ReadFile(out), "an earlier backup");
    EXPECT_FALSE(std::filesystem::exists(m_dir + "/out-incomplete.qcn"));
}

TEST_F(CliPhoneTest, ABackupThatLosesThePhoneGoesBesideTheFileAtItsPath) {
    const std::string out = m_dir + "/phone.qcn", beside = m_dir + "/phone-incomplete.qcn";
    {
        CSimProcess phone(SimArgs({"--from", m_dir + "/store.txt"}));
        ASSERT_EQ(Cli("backup --port " + phone.Device() + " " + out), 0);
    }
    const std::vector<uint8_t> complete = ReadBytes(out);
    // Twice: the second goes beside the first incomplete one too.
    for (const std::string& saved : {beside, m_dir + "/phone-incomplete-2.qcn"}) {
        CSimProcess phone(SimArgs({"--from", m_dir + "/store.txt", "--silent-after", "6"}));
        std::string stdOut, err;
        EXPECT_EQ(Cli("backup --timeout 300 --window 1 --port " + phone.Device() + " " + out, &stdOut, &err), 1);
        EXPECT_EQ(ReadBytes(out), complete);
        EXPECT_EQ(err.rfind("The backup is incomplete: it was saved as " + saved + ", and " + out + " was kept as it was.", 0),
                  0u)
            << err;
        EXPECT_NE(OleStreams(saved).size(), 0u);
    }
}
