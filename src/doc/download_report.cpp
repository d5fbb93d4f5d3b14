#include "doc/download_report.h"

#include "jobs/text_translation.h"

#include <cstdio>

namespace {
const char* ResultKey(CDownloadReport::EResult result) {
    switch (result) {
    case CDownloadReport::EResult::Verified: return "verified";
    case CDownloadReport::EResult::Written: return "written";
    case CDownloadReport::EResult::Protected: return "protected";
    case CDownloadReport::EResult::Failed: return "failed";
    case CDownloadReport::EResult::NotWritten: return "notWritten";
    case CDownloadReport::EResult::NotBackedUp: return "notBackedUp";
    }
    return "";
}

std::string JsonText(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + '"';
}

std::string RecordLabel(const CDownloadReport::SRow& row) {
    if (row.index < 0) return FillText(TrText("CDownloadReport", "%1 (ID %2)"), {row.name, std::to_string(row.id)});
    return FillText(TrText("CDownloadReport", "%1 (ID %2, index %3)"),
                    {row.name, std::to_string(row.id), std::to_string(row.index)});
}

// One count of the summary.
std::string Counted(const std::string& pattern, int n) { return FillText(pattern, {std::to_string(n)}); }
}  // namespace

std::string CDownloadReport::ResultText(EResult result) {
    switch (result) {
    case EResult::Verified: return TrText("CDownloadReport", "written and verified");
    case EResult::Written: return TrText("CDownloadReport", "written");
    case EResult::Protected: return TrText("CDownloadReport", "write protected");
    case EResult::Failed: return TrText("CDownloadReport", "failed");
    case EResult::NotWritten: return TrText("CDownloadReport", "not written");
    case EResult::NotBackedUp: return TrText("CDownloadReport", "not in the backup");
    }
    return "";
}

std::string CDownloadReport::ProtectedText(const std::string& name) {
    return FillText(TrText("CDownloadReport", "%1 is write protected. It can't be downloaded to Mobile Phone!"),
                    {name});
}

void CDownloadReport::Add(int id, int index, const std::string& name, EResult result, std::string detail) {
    m_rows.push_back({id, index, name, result, std::move(detail)});
}

void CDownloadReport::Skip(const std::string& reason, int count) {
    if (count > 0) skipped.emplace_back(reason, count);
}

int CDownloadReport::Count(EResult result) const {
    int n = 0;
    for (const SRow& row : m_rows) n += row.result == result ? 1 : 0;
    return n;
}

std::vector<CDownloadReport::SRow> CDownloadReport::RowsOf(EResult result) const {
    std::vector<SRow> rows;
    for (const SRow& row : m_rows)
        if (row.result == result) rows.push_back(row);
    return rows;
}

std::string CDownloadReport::Summary() const {
    if (!backupError.empty())
        return FillText(TrText("CDownloadReport", "Nothing was written: the backup could not be saved. %1"),
                        {backupError});
    // Counts that may be left out are whole phrases; only the separator stays untranslated.
    const int verified = Count(EResult::Verified);
    std::string text = Counted(TrText("CDownloadReport", "%1 record(s) written"), verified + Count(EResult::Written));
    if (verified > 0 || Count(EResult::Written) == 0)
        text += ", " + Counted(TrText("CDownloadReport", "%1 verified"), verified);
    text += ", " + Counted(TrText("CDownloadReport", "%1 write protected"), Count(EResult::Protected));
    text += ", " + Counted(TrText("CDownloadReport", "%1 failed"), Count(EResult::Failed));
    if (const int notWritten = Count(EResult::NotWritten))
        text += ", " + Counted(TrText("CDownloadReport", "%1 not written"), notWritten);
    for (const auto& [reason, count] : skipped)
        text += ", " + FillText(TrText("CDownloadReport", "%1 skipped (%2)"), {std::to_string(count), reason});
    return FillText(
        stopped ? TrText("CDownloadReport", "%1. The download was stopped.") : TrText("CDownloadReport", "%1."),
        {text});
}

std::string CDownloadReport::BackupLine() const {
    if (backupPath.empty()) return {};
    return FillText(TrText("CDownloadReport", "Backup of the phone's previous values: %1"), {backupPath});
}

std::vector<std::string> CDownloadReport::Lines() const {
    std::vector<std::string> lines{Summary()};
    if (!backupPath.empty()) lines.push_back(BackupLine());
    for (const SRow& row : m_rows) {
        if (row.result == EResult::Verified || row.result == EResult::Written) continue;
        // Without a backup nothing was written; the summary says so once.
        if (!backupError.empty() && (row.result == EResult::NotWritten || row.result == EResult::NotBackedUp)) continue;
        std::string line = ResultText(row.result) + ": " + RecordLabel(row);
        if (!row.detail.empty()) line += ": " + row.detail;
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string CDownloadReport::TableText() const {
    std::string text;
    for (const std::string& line : Lines()) text += line + '\n';
    text += TrText("CDownloadReport", "Record\tID\tIndex\tResult\tDetail") + '\n';
    for (const SRow& row : m_rows)
        text += row.name + '\t' + std::to_string(row.id) + '\t' + (row.index >= 0 ? std::to_string(row.index) : "") +
                '\t' + ResultText(row.result) + '\t' + row.detail + '\n';
    return text;
}

std::string CDownloadReport::Json() const {
    std::string out = "{\"summary\":" + JsonText(Summary()) + ",\"backup\":" + JsonText(backupPath) +
                      ",\"backupError\":" + JsonText(backupError) + ",\"stopped\":" + (stopped ? "true" : "false");
    for (EResult r : {EResult::Verified, EResult::Written, EResult::Protected, EResult::Failed, EResult::NotWritten,
                      EResult::NotBackedUp})
        out += ",\"" + std::string(ResultKey(r)) + "\":" + std::to_string(Count(r));
    out += ",\"skipped\":[";
    for (size_t i = 0; i < skipped.size(); ++i)
        out += (i ? "," : "") + std::string("{\"reason\":") + JsonText(skipped[i].first) +
               ",\"count\":" + std::to_string(skipped[i].second) + "}";
    out += "],\"records\":[";
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const SRow& row = m_rows[i];
        out += (i ? ",\n" : "\n");
        out += "{\"id\":" + std::to_string(row.id) + ",\"index\":" + std::to_string(row.index) +
               ",\"name\":" + JsonText(row.name) + ",\"result\":\"" + ResultKey(row.result) +
               "\",\"detail\":" + JsonText(row.detail) + "}";
    }
    return out + "\n]}\n";
}

SOutcome CDownloadReport::Outcome() const {
    if (!backupError.empty()) return SOutcome::Fail(Summary());
    SOutcome outcome = stopped ? SOutcome::Stop(Summary()) : SOutcome::Done();
    for (const SRow& row : m_rows) {
        if (row.result == EResult::Failed) outcome.failed.push_back({row.id, row.index, row.name, row.detail});
        if (row.result == EResult::Protected) outcome.refused.push_back({row.id, row.index, row.name, row.detail});
    }
    if (!stopped && (!outcome.failed.empty() || !outcome.refused.empty() || Count(EResult::NotWritten) > 0)) {
        outcome.state = SOutcome::EState::Failed;
        outcome.reason = Summary();
    }
    return outcome;
}
