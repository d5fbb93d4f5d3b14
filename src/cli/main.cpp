// tessiva-cli: the scriptable front end. Each command lives in its own cli_*.cpp file.
#include "cli/backup_loader.h"
#include "cli/cli_command.h"

#include <cstdio>
#include <cstring>
#include <iostream>

namespace {
std::map<std::string, SCliCommand>& Registry() {
    static std::map<std::string, SCliCommand> commands;
    return commands;
}

void PrintOverview(FILE* to) {
    std::fprintf(to,
                 "usage: tessiva-cli [--dir DIR] COMMAND [ARGS]\n\n"
                 "NV item editor, command-line front end. DIR holds NVItemsDefine.def and NVTypes.typ\n"
                 "(default: the current directory).\n\nCommands:\n");
    for (const auto& [name, command] : Registry()) std::fprintf(to, "  %-58s %s\n", command.usage, command.summary);
    std::fprintf(to,
                 "\nExit status: 0 success, 1 failure (message on stderr), 2 usage error.\n"
                 "'tessiva-cli COMMAND --help' describes one command.\n");
}

void PrintCommandHelp(const SCliCommand& command, FILE* to) {
    std::fprintf(to, "usage: tessiva-cli [--dir DIR] %s\n\n%s\n", command.usage, command.summary);
    if (command.help && *command.help) std::fprintf(to, "\n%s\n", command.help);
}

bool Contains(const std::vector<std::string>& list, const std::string& s) {
    for (const auto& x : list)
        if (x == s) return true;
    return false;
}
}  // namespace

CCliRegistrar::CCliRegistrar(const SCliCommand& command) { Registry().emplace(command.name, command); }

const std::map<std::string, SCliCommand>& CliCommands() { return Registry(); }

bool SCliArgs::Has(const std::string& name) const {
    for (const auto& [key, value] : options)
        if (key == name) return true;
    return false;
}

std::string SCliArgs::Get(const std::string& name, const std::string& fallback) const {
    for (const auto& [key, value] : options)
        if (key == name) return value;
    return fallback;
}

bool ParseIdList(const std::string& text, std::vector<int>& ids) {
    ids.clear();
    size_t i = 0;
    while (i <= text.size()) {
        size_t end = text.find(',', i);
        if (end == std::string::npos) end = text.size();
        const std::string part = text.substr(i, end - i);
        if (part.empty() || part.size() > 9 || part.find_first_not_of("0123456789") != std::string::npos) return false;
        ids.push_back(std::stoi(part));
        i = end + 1;
    }
    return !ids.empty();
}

bool SCliContext::LoadDefinitions() { return ReportOutcome(*this, doc.LoadDefinitions()); }

bool SCliContext::LoadTypes() { return ReportOutcome(*this, doc.LoadTypes()); }

int SCliContext::Fail(const std::string& message) {
    console.ShowMessage(message, EMessageIcon::Error, kAppTitle);
    return kExitFailure;
}

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    std::string dir = ".";
    size_t i = 0;
    for (; i < args.size(); ++i) {
        if (args[i] == "--dir") {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "tessiva-cli: --dir needs a folder\n");
                return kExitUsage;
            }
            dir = args[++i];
        } else if (args[i].rfind("--dir=", 0) == 0) {
            dir = args[i].substr(6);
        } else if (args[i] == "--help" || args[i] == "-h") {
            PrintOverview(stdout);
            return kExitOk;
        } else {
            break;
        }
    }
    if (i >= args.size()) {
        PrintOverview(stderr);
        return kExitUsage;
    }
    const auto found = Registry().find(args[i]);
    if (found == Registry().end()) {
        std::fprintf(stderr, "tessiva-cli: unknown command '%s'\n", args[i].c_str());
        PrintOverview(stderr);
        return kExitUsage;
    }
    const SCliCommand& command = found->second;
    SCliArgs parsed;
    for (++i; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            PrintCommandHelp(command, stdout);
            return kExitOk;
        }
        if (a == "--") {
            for (++i; i < args.size(); ++i) parsed.positionals.push_back(args[i]);
            break;
        }
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            std::string name = a, value;
            const size_t eq = a.find('=');
            if (eq != std::string::npos) {
                name = a.substr(0, eq);
                value = a.substr(eq + 1);
            }
            if (Contains(command.flags, name) && eq == std::string::npos) {
                parsed.options.emplace_back(name, "");
                continue;
            }
            if (Contains(command.valueOptions, name)) {
                if (eq == std::string::npos) {
                    if (i + 1 >= args.size()) {
                        std::fprintf(stderr, "tessiva-cli %s: %s needs a value\n", command.name, name.c_str());
                        return kExitUsage;
                    }
                    value = args[++i];
                }
                parsed.options.emplace_back(name, value);
                continue;
            }
            std::fprintf(stderr, "tessiva-cli %s: unknown option %s\nusage: tessiva-cli %s\n", command.name,
                         a.c_str(), command.usage);
            return kExitUsage;
        }
        parsed.positionals.push_back(a);
    }
    const int n = static_cast<int>(parsed.positionals.size());
    if (n < command.minPositionals || n > command.maxPositionals) {
        std::fprintf(stderr, "usage: tessiva-cli %s\n", command.usage);
        return kExitUsage;
    }
    SCliContext context;
    context.dir = dir;
    context.doc.SetDirectory(dir);
    return command.run(context, parsed);
}
