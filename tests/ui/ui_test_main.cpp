// Runs every registered widget test class, or only the class named by the first argument
// (further arguments go to Qt Test). The exit status counts the classes that failed.
#include "modal_watchdog.h"
#include "ui_test_support.h"

#include <QApplication>
#include <QSettings>
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
    // Settings of this run only: runs in other checkouts at the same time would share the
    // test mode's file and change each other's recent files and layout.
    const QString settings = QString::fromStdString(MakeTempDir("settings"));
    for (QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
        QSettings::setPath(format, QSettings::UserScope, settings);
    // The tests answer their dialogs within milliseconds; one left open is a failed test.
    CModalWatchdog watchdog(std::chrono::seconds(10));
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
