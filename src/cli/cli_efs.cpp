// tessiva-cli efs: the phone's file system by hand (list, get, put, remove).
#include "cli/cli_phone.h"
#include "files/safe_file_writer.h"
#include "phone/efs_client.h"
#include "phone/qlib.h"

#include <cstdio>
#include <fstream>

namespace {
bool ReadHostFile(const std::string& path, std::vector<uint8_t>& data, std::string& error) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = "Can't open " + path + ".";
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > CEfsClient::kMaxFileSize) {
        error = path + " is larger than a file of the phone may be (64 MB).";
        return false;
    }
    data.resize(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(data.data()), size)) {
        error = "Can't read " + path + ".";
        return false;
    }
    return true;
}

char TypeLetter(const SEfsEntry& entry) {
    if (entry.IsFolder()) return 'd';
    return entry.type == kEfsEntryLink ? 'l' : '-';
}

int List(SCliContext& ctx, CEfsClient& efs, const std::string& path) {
    SEfsStat stat;
    if (!efs.Stat(path, stat)) return ctx.Fail(efs.LastError());
    if (!stat.IsFolder()) {
        std::printf("- %10d  %s\n", stat.size, path.c_str());
        return kExitOk;
    }
    std::vector<SEfsEntry> entries;
    if (!efs.ListFolder(path, entries)) return ctx.Fail(efs.LastError());
    for (const SEfsEntry& e : entries)
        std::printf("%c %10d  %s%s\n", TypeLetter(e), e.size, e.name.c_str(), e.IsFolder() ? "/" : "");
    return kExitOk;
}

int Get(SCliContext& ctx, CEfsClient& efs, const std::string& path, const std::string& file) {
    std::vector<uint8_t> data;
    if (!efs.ReadFile(path, data)) return ctx.Fail(efs.LastError());
    std::string error;
    if (!CSafeFileWriter::WriteWholeFile(file, data, error)) return ctx.Fail("Can't write " + file + ": " + error);
    std::printf("Read %zu bytes of %s into %s.\n", data.size(), path.c_str(), file.c_str());
    return kExitOk;
}

int Put(SCliContext& ctx, CEfsClient& efs, const std::string& file, const std::string& path) {
    std::vector<uint8_t> data;
    std::string error;
    if (!ReadHostFile(file, data, error)) return ctx.Fail(error);
    // A file that fails half way is reported so: the phone may hold part of it.
    if (!efs.WriteFile(path, data, true)) return ctx.Fail(efs.LastError() + " (the phone's file may be incomplete)");
    std::printf("Wrote %zu bytes of %s to %s.\n", data.size(), file.c_str(), path.c_str());
    return kExitOk;
}

int Remove(SCliContext& ctx, CEfsClient& efs, const std::string& path) {
    SEfsStat stat;
    if (!efs.Stat(path, stat)) return ctx.Fail(efs.LastError());
    if (!(stat.IsFolder() ? efs.RemoveFolder(path) : efs.RemoveFile(path))) return ctx.Fail(efs.LastError());
    std::printf("Removed %s.\n", path.c_str());
    return kExitOk;
}

int RunEfs(SCliContext& ctx, const SCliArgs& args) {
    const std::vector<std::string>& p = args.positionals;
    const std::string& action = p[0];
    const size_t wanted = action == "get" || action == "put" ? 3 : 2;
    if ((action != "ls" && action != "get" && action != "put" && action != "rm") || p.size() != wanted) {
        std::fprintf(stderr, "usage: tessiva-cli efs --port DEV ls PATH | get PATH FILE | put FILE PATH | rm PATH\n");
        return kExitUsage;
    }
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;
    CEfsClient efs(ctx.doc.PhoneLink());
    if (action == "ls") return List(ctx, efs, p[1]);
    if (action == "get") return Get(ctx, efs, p[1], p[2]);
    if (action == "put") return Put(ctx, efs, p[1], p[2]);
    return Remove(ctx, efs, p[1]);
}

const CCliRegistrar kEfs({"efs", "efs --port DEV [--timeout MS] ls PATH | get PATH FILE | put FILE PATH | rm PATH",
                          "List, read, write or remove files of the phone's file system",
                          "ls PATH        the entries of a folder (type, size, name), or the one file\n"
                          "get PATH FILE  copies the phone's file PATH into FILE\n"
                          "put FILE PATH  writes FILE as the phone's file PATH, making its folders; a file\n"
                          "               that fails half way is reported as failed\n"
                          "rm PATH        removes a file, or an empty folder\n"
                          "Exit 1 when the phone refuses (no such file, no space left on the phone, ...)." TESSIVA_PHONE_OPTIONS_HELP,
                          {}, kPhoneValueOptions, 2, 3, RunEfs});
}  // namespace
