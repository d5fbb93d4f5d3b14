#include "test_support.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

CTestFrontend::CTestFrontend() = default;

void CTestFrontend::RunModal(CJobControl& control) {
    {
        std::lock_guard lock(m_mutex);
        m_control = &control;
        captions.push_back(control.Caption());
    }
    bool pressedAtStart = false;
    while (!control.IsEnded()) {
        if (cancelAtStart && !pressedAtStart) {
            control.SetStopRequested(true);
            pressedAtStart = true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    std::lock_guard lock(m_mutex);
    m_control = nullptr;
}

void CTestFrontend::OnPosition(int p) {
    position = p;
    const int at = cancelAtPosition.load();
    if (at >= 0 && p >= at) {
        std::lock_guard lock(m_mutex);
        if (m_control) m_control->SetStopRequested(true);
        cancelAtPosition = -1;
    }
}

void CTestFrontend::ShowMessage(const std::string& text, EMessageIcon, const std::string&) {
    std::lock_guard lock(m_mutex);
    m_messages.push_back(text);
}

bool CTestFrontend::AskYesNo(const std::string& text, const std::string&) {
    std::lock_guard lock(m_mutex);
    m_questions.push_back(text);
    if (answers.empty()) return false;
    const bool answer = answers.front();
    answers.pop_front();
    return answer;
}

std::vector<std::string> CTestFrontend::Messages() const {
    std::lock_guard lock(m_mutex);
    return m_messages;
}

std::vector<std::string> CTestFrontend::Questions() const {
    std::lock_guard lock(m_mutex);
    return m_questions;
}

void CTestFrontend::ClearRecords() {
    std::lock_guard lock(m_mutex);
    m_messages.clear();
    m_questions.clear();
    captions.clear();
}

namespace {
// The folders tests made and the files they wrote themselves (damaged ones among them).
struct STestFiles {
    std::mutex mutex;
    std::vector<std::string> dirs;
    std::map<std::string, std::string> written;  // path -> what the test wrote there
};
STestFiles& TestFiles() {
    static STestFiles files;
    return files;
}
}  // namespace

std::vector<std::string> TempDirs() {
    std::lock_guard lock(TestFiles().mutex);
    return TestFiles().dirs;
}

bool HoldsWhatTheTestWrote(const std::string& path) {
    std::lock_guard lock(TestFiles().mutex);
    const auto own = TestFiles().written.find(path);
    return own != TestFiles().written.end() && own->second == ReadFile(path);
}

std::string MakeTempDir(const std::string& tag) {
    namespace fs = std::filesystem;
    static int counter = 0;
    fs::path dir = fs::temp_directory_path() /
                   ("tessiva-" + tag + "-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::lock_guard lock(TestFiles().mutex);
    TestFiles().dirs.push_back(dir.string());
    return dir.string();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::lock_guard lock(TestFiles().mutex);
    TestFiles().written[path] = bytes;
}

void MarkWrittenByTest(const std::string& path) {
    const std::string bytes = ReadFile(path);
    std::lock_guard lock(TestFiles().mutex);
    TestFiles().written[path] = bytes;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    const std::string s = ReadFile(path);
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::string SourceDir() { return TESSIVA_SOURCE_DIR; }
std::string BinDir() { return TESSIVA_BIN_DIR; }

int RunCommand(const std::string& command, std::string* out, std::string* err) {
    const std::string dir = MakeTempDir("run");
    const std::string outPath = dir + "/out", errPath = dir + "/err";
    const int status = std::system((command + " >" + outPath + " 2>" + errPath).c_str());
    if (out) *out = ReadFile(outPath);
    if (err) *err = ReadFile(errPath);
    std::filesystem::remove_all(dir);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::map<std::string, std::string> OleStreams(const std::string& path) {
    const std::string script =
        "import olefile,sys\n"
        "o=olefile.OleFileIO(sys.argv[1])\n"
        "for e in o.listdir(streams=True,storages=False):\n"
        "  print('/'.join(e)+'\\t'+o.openstream(e).read().hex())\n";
    const std::string scriptPath = MakeTempDir("olefile") + "/dump.py";
    WriteFile(scriptPath, script);
    std::string out;
    std::map<std::string, std::string> streams;
    if (RunCommand("/usr/bin/python3 '" + scriptPath + "' '" + path + "'", &out) != 0) return streams;
    for (size_t start = 0, end; (end = out.find('\n', start)) != std::string::npos; start = end + 1) {
        const std::string line = out.substr(start, end - start);
        const size_t tab = line.find('\t');
        streams[line.substr(0, tab)] = line.substr(tab + 1);
    }
    return streams;
}
