// After each test, every compound file in the folders it made, save those the test wrote
// itself, goes through the structural check: whatever wrote it (a save, a backup of the
// phone, the CLI), it came from our writer.
#include "compound_check.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {
class CCompoundFileCheck : public ::testing::EmptyTestEventListener {
    void OnTestStart(const ::testing::TestInfo&) override { m_firstDir = TempDirs().size(); }
    void OnTestEnd(const ::testing::TestInfo&) override {
        namespace fs = std::filesystem;
        const std::vector<std::string> dirs = TempDirs();
        for (size_t d = m_firstDir; d < dirs.size(); ++d) {
            std::error_code ec;
            for (fs::recursive_directory_iterator it(dirs[d], ec), end; !ec && it != end; it.increment(ec)) {
                if (!it->is_regular_file(ec) || it->file_size(ec) < 512) continue;
                const std::string path = it->path().string();
                char head[8] = {};
                std::ifstream(path, std::ios::binary).read(head, sizeof head);
                if (std::string(head, sizeof head) != "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" || HoldsWhatTheTestWrote(path))
                    continue;
                std::string all;
                for (const std::string& f : CompoundFileFaults(path)) all += "\n  " + f;
                EXPECT_EQ(all, "") << "the compound file " << path << " breaks the format's rules";
            }
        }
    }
    size_t m_firstDir = 0;
};

// Registered before any test runs.
const bool kAdded = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new CCompoundFileCheck);
    return true;
}();
}  // namespace
