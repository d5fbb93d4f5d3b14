#pragma once
#include "jobs/console_frontend.h"
#include "jobs/job_control.h"
#include "doc/tessiva_doc.h"

#include <map>
#include <string>
#include <vector>

// Exit statuses of tessiva-cli.
enum { kExitOk = 0, kExitFailure = 1, kExitUsage = 2 };

// Everything a command works with: the console, the job control and the document.
struct SCliContext {
    std::string dir = ".";
    CConsoleFrontend console;
    CJobControl jobs{console, console};
    CTessivaDoc doc{jobs};

    // Reads NVItemsDefine.def (sorted, arrays expanded); false after its message.
    bool LoadDefinitions();
    // Loads NVTypes.typ; false after its message.
    bool LoadTypes();
    // A failure message on stderr, one line.
    int Fail(const std::string& message);
};

// A command's parsed arguments: positionals, flags (--json) and valued options (--ids X),
// the latter kept in order since some repeat (--set).
struct SCliArgs {
    std::vector<std::string> positionals;
    std::vector<std::pair<std::string, std::string>> options;
    bool Has(const std::string& name) const;
    std::string Get(const std::string& name, const std::string& fallback = {}) const;
};

struct SCliCommand {
    const char* name;
    const char* usage;    // "dump FILE [--json]"
    const char* summary;  // one line for the command list
    const char* help;     // longer text for --help, may be empty
    std::vector<std::string> flags;        // options without value
    std::vector<std::string> valueOptions;  // options taking a value
    int minPositionals;
    int maxPositionals;
    int (*run)(SCliContext&, const SCliArgs&);
};

// Commands register themselves from their own source file.
struct CCliRegistrar {
    explicit CCliRegistrar(const SCliCommand& command);
};
const std::map<std::string, SCliCommand>& CliCommands();

// Parses a list of IDs "10,441,3"; false on a malformed list.
bool ParseIdList(const std::string& text, std::vector<int>& ids);
