#pragma once
// What the phone commands share: the connection by --port.
#include "cli/cli_command.h"

#include <string>

// Options every phone command takes.
inline const std::vector<std::string> kPhoneValueOptions = {"--port", "--timeout", "--window"};
#define TESSIVA_PHONE_OPTIONS_HELP                                                          \
    "\n  --port DEV     the phone's serial port: a device name (ttyUSB0) or path (/dev/ttyUSB0)" \
    "\n  --timeout MS   how long each request waits for the phone's reply (default 2000)"    \
    "\n  --window N     reads kept in flight (default 8; 1 asks one at a time)"

// Connects the document to the phone on --port; kExitOk, or the exit status after a message.
int ConnectPhone(SCliContext& ctx, const SCliArgs& args);

class CDownloadReport;
// The window's folder of backups, so that "Restore Last Backup to Mobile" finds the CLI's too.
std::string BackupFolder();
// The report's lines on stderr, and as JSON into --report FILE when given; false after a
// message when that file could not be written.
bool TellReport(SCliContext& ctx, const SCliArgs& args, const CDownloadReport& report);
