#pragma once
// What the backup commands share: loading and saving backups as the window's commands do,
// selecting items by ID and decoding a record's fields.
#include "cli/cli_command.h"
#include "doc/item_comparison.h"

#include <set>
#include <string>
#include <vector>

// Prints a usage error for a path that is not a .brt, .cnv or .qcn file; true when it is one.
bool CheckBackupPath(const char* command, const std::string& path);

// Empties the database and both trees, then loads path by its content: load job, completion,
// fill-up and sort, and the "NV Items" tree lists every record. False after the message.
bool LoadBackup(SCliContext& ctx, const std::string& path);

// Saves the active records of the database to path by its kind; with ids only the items
// of those IDs, through the "Selected && Active" save. False after a message.
// layout chooses the QCN layout (--layout); AsLoaded keeps the one the input came in.
bool SaveBackup(SCliContext& ctx, const std::string& path, const std::vector<int>* ids,
                CBackupFiles::ESaveLayout layout = CBackupFiles::ESaveLayout::AsLoaded);

// Parses --layout tessiva|numbered when given; false after a usage message.
bool ParseLayoutOption(const char* command, const SCliArgs& args, CBackupFiles::ESaveLayout& layout);

// Prints the notes of an operation (what went right but deserves telling).
void ReportNotes(SCliContext& ctx, const SOutcome& outcome);
// Prints the notes, and the reason of a failure or (with what) that it was stopped; true
// for a completed outcome.
bool ReportOutcome(SCliContext& ctx, const SOutcome& outcome, const std::string& what = {});

// Parses --ids when given; false after a usage message.
bool ParseIdsOption(const char* command, const SCliArgs& args, std::vector<int>& ids, bool& given);

// The record's fields as the content view shows them. False when the catalogue lacks the
// record's type; its message is shown once per type (reported keeps track).
bool DecodeFields(SCliContext& ctx, const CNVItem& item, std::vector<SFieldText>& fields,
                  std::set<std::string>& reported);

// The fields as a JSON array, null when they could not be decoded.
void PrintJsonFields(bool decoded, const std::vector<SFieldText>& fields);

// Flushes stdout; kExitFailure when the output could not be written.
int FinishOutput(int status);
