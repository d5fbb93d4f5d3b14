#include "cli/cli_phone.h"

#include "doc/download_report.h"
#include "files/safe_file_writer.h"
#include "phone/nv_reader.h"
#include "phone/diag_link.h"

#include <QCoreApplication>
#include <QStandardPaths>

#include <cstdio>

std::string BackupFolder() {
    QCoreApplication::setApplicationName("Tessiva");
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return data.isEmpty() ? std::string() : (data + "/backups").toStdString();
}

bool TellReport(SCliContext& ctx, const SCliArgs& args, const CDownloadReport& report) {
    for (const std::string& line : report.Lines()) std::fprintf(stderr, "%s\n", line.c_str());
    if (!args.Has("--report")) return true;
    const std::string path = args.Get("--report");
    std::string error;
    if (CSafeFileWriter::WriteWholeFile(path, report.Json(), error)) return true;
    ctx.Fail("Can't write the report " + path + ": " + error);
    return false;
}

int ConnectPhone(SCliContext& ctx, const SCliArgs& args) {
    const std::string port = args.Get("--port");
    if (port.empty()) {
        std::fprintf(stderr, "tessiva-cli: --port DEV is needed (see 'tessiva-cli ports')\n");
        return kExitUsage;
    }
    if (args.Has("--timeout")) {
        const std::string text = args.Get("--timeout");
        if (text.empty() || text.size() > 7 || text.find_first_not_of("0123456789") != std::string::npos ||
            std::stoul(text) == 0) {
            std::fprintf(stderr, "tessiva-cli: --timeout takes milliseconds, not '%s'\n", text.c_str());
            return kExitUsage;
        }
        ctx.doc.Phone().Settings().requestTimeoutMs = static_cast<unsigned>(std::stoul(text));
    }
    int window = kDefaultReadWindow;
    if (args.Has("--window")) {
        const std::string text = args.Get("--window");
        if (text.empty() || text.size() > 2 || text.find_first_not_of("0123456789") != std::string::npos ||
            std::stoi(text) < 1 || std::stoi(text) > kMaxReadWindow) {
            std::fprintf(stderr, "tessiva-cli: --window takes 1 to %d requests, not '%s'\n", kMaxReadWindow, text.c_str());
            return kExitUsage;
        }
        window = std::stoi(text);
    }
    ctx.doc.Phone().Settings().readWindow = window;
    ctx.doc.Phone().Settings().portName = port;
    const SOutcome connected = ctx.doc.Phone().Connect();
    return connected.IsCompleted() ? kExitOk : ctx.Fail(connected.reason);
}
