#pragma once
#include <functional>
#include <string>

// How the phone is reached and how it is written: one value, set by the front end from its
// settings or command line and read by every operation of the phone.
struct SPhoneSettings {
    // "Com n" when portName is empty (0: none chosen).
    int comPort = 0;
    // A device name or path ("ttyUSB0", "/dev/ttyUSB0", "COM3").
    std::string portName;
    // Milliseconds each request waits for its reply on the next connection; 0 keeps the link's.
    unsigned requestTimeoutMs = 0;
    // Reads kept in flight on the next connection (1: one request at a time).
    int readWindow = 1;
    // The folder of the backups made before writes.
    std::string backupFolder;
    // A backup of what a write overwrites, made and read back before it.
    bool backupBeforeWrite = true;
    // Each write read back.
    bool verifyWrites = true;
    // Asked (with the question) whether what could not be backed up is written all the same;
    // without it, it is not.
    using FConfirm = std::function<bool(const std::string& question)>;
    FConfirm confirmWithoutBackup;
};
