// Runs every registered widget test class; the exit status counts the classes that failed.
#include "ui_test_support.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    int failed = 0;
    for (const auto& run : SUiTestRegistry::All()) failed += run(argc, argv) != 0 ? 1 : 0;
    return failed;
}
