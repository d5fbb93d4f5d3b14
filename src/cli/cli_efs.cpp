// tessiva-cli efs: the phone's file system by hand (list, get, put, remove).
#include "cli/cli_phone.h"
#include "doc/phone_file_change.h"
#include "files/byte_reader.h"
#include "files/safe_file_writer.h"
#include "phone/efs_client.h"
#include "phone/diag_link.h"

#include <cstdio>

namespace {
// d folder, l link, i item file, - regular file.
char TypeLetter(int32_t mode, int32_t type) {
    if (type == kEfsEntryDirectory || IsEfsFolderMode(mode)) return 'd';
    if (type == kEfsEntryLink || (mode & kEfsTypeMask) == kEfsLinkType) return 'l';
    return IsEfsItemFileMode(mode) ? 'i' : '-';
}

int List(SCliContext& ctx, CEfsClient& efs, const std::string& path) {
    SEfsStat stat;
    if (!efs.Stat(path, stat)) return ctx.Fail(efs.LastError());
    if (!stat.IsFolder()) {
        std::printf("%c %10u  %s\n", TypeLetter(stat.mode, kEfsEntryFile), stat.size, path.c_str());
        return kExitOk;
    }
    std::vector<SEfsEntry> entries;
    if (!efs.ListFolder(path, entries)) return ctx.Fail(efs.LastError());
    for (const SEfsEntry& e : entries)
        std::printf("%c %10u  %s%s\n", TypeLetter(e.mode, e.type), e.size, e.name.c_str(), e.IsFolder() ? "/" : "");
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

int Put(SCliContext& ctx, const SCliArgs& args, CEfsClient& efs, const std::string& file, const std::string& path) {
    // The whole host file before the phone is touched: a device, a pipe or a folder is refused.
    std::vector<uint8_t> data;
    std::string error;
    if (!CByteReader::ReadFile(file, data, error)) return ctx.Fail("Can't read " + file + ": " + error);
    if (data.size() > CEfsClient::kMaxFileSize) return ctx.Fail(file + " is larger than the 64 MB a phone file may hold.");
    // As asked, else the existing file's type, else the path's.
    const int32_t mode = args.Has("--item") ? kEfsItemFileType | 0644 : args.Has("--regular") ? kEfsRegularType | 0644 : 0;
    CPhoneFileChange change(efs, BackupFolder());
    const bool written = change.Put(path, data, mode);
    const auto tellCopy = [&] {
        if (!change.CopyPath().empty()) std::printf("The phone's old file is in %s.\n", change.CopyPath().c_str());
    };
    if (!written) return tellCopy(), ctx.Fail(change.Error());
    const char* type = IsEfsItemFileMode(change.Mode()) ? "an item file" : "a regular file";
    if (change.Unchanged())
        std::printf("%s already holds the %zu bytes of %s as %s: nothing was written.\n", path.c_str(), data.size(),
                    file.c_str(), type);
    else
        std::printf("Wrote %zu bytes of %s to %s as %s.\n", data.size(), file.c_str(), path.c_str(), type);
    tellCopy();
    return kExitOk;
}

int Remove(SCliContext& ctx, CEfsClient& efs, const std::string& path) {
    CPhoneFileChange change(efs, BackupFolder());
    if (!change.Remove(path)) return ctx.Fail(change.Error());
    std::printf("Removed %s.\n", path.c_str());
    if (!change.CopyPath().empty()) std::printf("A copy is in %s.\n", change.CopyPath().c_str());
    return kExitOk;
}

int RunEfs(SCliContext& ctx, const SCliArgs& args) {
    const std::vector<std::string>& p = args.positionals;
    const std::string& action = p[0];
    const size_t wanted = action == "get" || action == "put" ? 3 : 2;
    if ((action != "ls" && action != "get" && action != "put" && action != "rm") || p.size() != wanted ||
        (args.Has("--item") && args.Has("--regular"))) {
        std::fprintf(stderr,
                     "usage: tessiva-cli efs --port DEV ls PATH | get PATH FILE | put [--item|--regular] FILE PATH | rm PATH\n");
        return kExitUsage;
    }
    if (const int status = ConnectPhone(ctx, args); status != kExitOk) return status;
    CEfsClient efs(ctx.doc.Phone().Link());
    if (action == "ls") return List(ctx, efs, p[1]);
    if (action == "get") return Get(ctx, efs, p[1], p[2]);
    if (action == "put") return Put(ctx, args, efs, p[1], p[2]);
    return Remove(ctx, efs, p[1]);
}

const CCliRegistrar kEfs({"efs", "efs --port DEV [--timeout MS] ls PATH | get PATH FILE | put [--item|--regular] FILE PATH | rm PATH",
                          "List, read, write or remove files of the phone's file system",
                          "ls PATH        the entries of a folder (type: d folder, i item file, - regular\n"
                          "               file, l link; size, name), or the one file\n"
                          "get PATH FILE  copies the phone's file PATH into FILE\n"
                          "put FILE PATH  writes FILE whole as the phone's file PATH, making its folders, reads\n"
                          "               it back, then syncs the phone's file system. It is an item file\n"
                          "               below /nv/item_files/ and /nv/reg_files/ or when it replaces one,\n"
                          "               else a regular file; --item or --regular say which. The file it\n"
                          "               replaces is first copied below the backups folder (nothing is\n"
                          "               written when it can't be); a write that fails puts it back\n"
                          "rm PATH        removes a file (copied below the backups folder first), or an\n"
                          "               empty folder\n"
                          "Exit 1 when the phone refuses (no such file, no space left on the phone, ...)." TESSIVA_PHONE_OPTIONS_HELP,
                          {"--item", "--regular"}, kPhoneValueOptions, 2, 3, RunEfs});
}  // namespace
