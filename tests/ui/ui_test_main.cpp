// Runs every registered widget test class, or only the class named by the first argument
// (further arguments go to Qt Test). The exit status counts the classes that failed.
#include "ui_test_support.h"

#include <QApplication>
#include <QStandardPaths>
#include <cstdlib>
#include <filesystem>
#include <cstring>

int main(int argc, char** argv) {
    // Settings and backups of the tests stay out of the user's folders, and out of those of
    // other test runs at the same time (test mode alone shares ~/.qttest between them).
    char home[] = "/tmp/tessiva-ui-home-XXXXXX";
    const bool ownHome = mkdtemp(home) != nullptr;
    if (ownHome) setenv("HOME", home, 1);
    QApplication app(argc, argv);
    QStandardPaths::setTestModeEnabled(true);
    const char* only = argc > 1 && argv[1][0] == 'C' ? argv[1] : nullptr;
    if (only) {
        argv[1] = argv[0];
        ++argv;
        --argc;
    }
    int failed = 0;
    for (const auto& test : SUiTestRegistry::All())
        if (!only || std::strcmp(only, test.name) == 0) failed += test.run(argc, argv) != 0 ? 1 : 0;
    std::error_code error;
    if (ownHome) std::filesystem::remove_all(home, error);
    return failed;
}
