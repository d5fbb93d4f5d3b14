#include "doc/download_report.h"

#include "jobs/text_translation.h"
#include "model/item_file_defs.h"
#include "phone/diag_commands.h"

#include <algorithm>
#include <cstdio>
#include <iterator>
#include <utility>

namespace {
const char* ResultKey(CDownloadReport::EResult result) {
    switch (result) {
    case CDownloadReport::EResult::Verified: return "verified";
    case CDownloadReport::EResult::Written: return "written";
    case CDownloadReport::EResult::Protected: return "protected";
    case CDownloadReport::EResult::Failed: return "failed";
    case CDownloadReport::EResult::NotWritten: return "notWritten";
    case CDownloadReport::EResult::NotBackedUp: return "notBackedUp";
    case CDownloadReport::EResult::Read: return "read";
    case CDownloadReport::EResult::Unchanged: return "unchanged";
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
    std::string label =
        row.file        ? FillText(TrText("CDownloadReport", "item file %1"), {row.path})
        : row.index < 0 ? FillText(TrText("CDownloadReport", "%1 (ID %2)"), {row.name, std::to_string(row.id)})
                        : FillText(TrText("CDownloadReport", "%1 (ID %2, index %3)"),
                                   {row.name, std::to_string(row.id), std::to_string(row.index)});
    if (row.subscription > 0)
        label += FillText(TrText("CDownloadReport", " of subscription %1"), {std::to_string(row.subscription)});
    return label;
}

constexpr CDownloadReport::EResult kResults[] = {
    CDownloadReport::EResult::Verified,   CDownloadReport::EResult::Written,    CDownloadReport::EResult::Protected,
    CDownloadReport::EResult::Failed,     CDownloadReport::EResult::NotWritten, CDownloadReport::EResult::NotBackedUp,
    CDownloadReport::EResult::Read,       CDownloadReport::EResult::Unchanged};

std::string JoinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
    return text;
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
    case EResult::Read: return TrText("CDownloadReport", "backed up");
    case EResult::Unchanged: return TrText("CDownloadReport", "unchanged");
    }
    return "";
}

std::string CDownloadReport::ProtectedText(const std::string& name) {
    return FillText(TrText("CDownloadReport", "%1 is write protected. It can't be downloaded to Mobile Phone!"),
                    {name});
}

std::string CDownloadReport::StatusText(uint16_t status) {
    return FillText(TrText("CDownloadReport", "status %1"), {NvStatusText(status)});
}

std::string CDownloadReport::RowResultText(EResult result) const {
    // A backup that saved no file backed nothing up, whatever it read.
    if (result == EResult::Read && operation == EOperation::Backup && backupPath.empty())
        return TrText("CDownloadReport", "read, not saved");
    return ResultText(result);
}

std::string CDownloadReport::FewNames(const std::vector<std::string>& names) {
    constexpr size_t kShown = 3;
    std::string text;
    for (size_t i = 0; i < std::min(names.size(), kShown); ++i) text += (i > 0 ? ", " : "") + names[i];
    if (names.size() <= kShown) return text;
    return FillText(TrText("CDownloadReport", "%1 and %2 more"), {text, std::to_string(names.size() - kShown)});
}

std::string CDownloadReport::NotAttemptedText() {
    return TrText("CDownloadReport", "not attempted: the link to the phone failed");
}

std::string CDownloadReport::ReadBackFailedText(const std::string& error) {
    return FillText(TrText("CDownloadReport", "written, but the read-back failed: %1"), {error});
}

std::string CDownloadReport::ReadBackAnsweredText(uint16_t status) {
    return FillText(TrText("CDownloadReport", "written, but the read-back answered %1"), {StatusText(status)});
}

std::string CDownloadReport::ReadBackDiffersText() { return TrText("CDownloadReport", "read-back differs"); }

void CDownloadReport::Add(int id, int index, const std::string& name, EResult result, std::string detail) {
    m_rows.push_back({id, index, name, result, std::move(detail), 0, {}});
}

void CDownloadReport::AddRecord(int subscription, int id, int index, const std::string& name, EResult result,
                                std::string detail) {
    m_rows.push_back({id, index, name, result, std::move(detail), subscription, {}});
}

void CDownloadReport::AddFile(const std::string& path, EResult result, std::string detail) {
    // The row names the file: a reason that starts with its path need not say it again.
    if (detail.size() > path.size() + 2 && detail.compare(0, path.size(), path) == 0 &&
        detail.compare(path.size(), 2, ": ") == 0)
        detail.erase(0, path.size() + 2);
    m_rows.push_back({0, -1, path, result, std::move(detail), ItemFileSubscription(path), path, true});
}

int CDownloadReport::Count(EResult result, EKind kind) const {
    int n = 0;
    for (const SRow& row : m_rows) n += row.result == result && row.Kind() == kind ? 1 : 0;
    return n;
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

std::string CDownloadReport::WholePhoneSummary() const {
    const std::pair<EKind, std::string> kinds[] = {
        {EKind::Record, TrText("CDownloadReport", "Records")},
        {EKind::SubscriptionRecord, TrText("CDownloadReport", "subscription records")},
        {EKind::File, TrText("CDownloadReport", "item files")}};
    std::string text;
    for (const auto& [kind, label] : kinds) {
        std::string part;
        const auto add = [&](const std::string& pattern, EResult result, bool always) {
            if (const int n = Count(result, kind); n > 0 || always)
                part += (part.empty() ? "" : ", ") + Counted(pattern, n);
        };
        if (operation == EOperation::Backup) {
            add(backupPath.empty() ? TrText("CDownloadReport", "%1 read, not saved") : TrText("CDownloadReport", "%1 backed up"),
                EResult::Read, true);
            add(TrText("CDownloadReport", "%1 not read"), EResult::Failed, false);
        } else {
            add(TrText("CDownloadReport", "%1 written"), EResult::Written, false);
            add(TrText("CDownloadReport", "%1 written and verified"), EResult::Verified, true);
            add(TrText("CDownloadReport", "%1 unchanged"), EResult::Unchanged, false);
            add(TrText("CDownloadReport", "%1 write protected"), EResult::Protected, false);
            add(TrText("CDownloadReport", "%1 failed"), EResult::Failed, true);
            add(TrText("CDownloadReport", "%1 not written"), EResult::NotWritten, false);
        }
        text += (text.empty() ? "" : "; ") + label + ": " + part;
    }
    for (const auto& [reason, count] : skipped)
        text += "; " + FillText(TrText("CDownloadReport", "%1 skipped (%2)"), {std::to_string(count), reason});
    text += ".";
    if (!filesError.empty())
        text += " " + FillText(operation == EOperation::Backup
                                   ? TrText("CDownloadReport", "Item files could not be read: %1")
                                   : TrText("CDownloadReport", "Item files could not be written: %1"),
                               {filesError});
    if (!syncError.empty())
        text += " " + FillText(TrText("CDownloadReport", "The phone's file system could not be synced: %1"), {syncError});
    if (stopped)
        text += " " + (operation == EOperation::Backup ? TrText("CDownloadReport", "The backup was stopped.")
                                                       : TrText("CDownloadReport", "The restore was stopped."));
    return text;
}

std::string CDownloadReport::Summary() const {
    if (operation != EOperation::Download && backupError.empty())
        return headline.empty() ? WholePhoneSummary() : headline + " " + WholePhoneSummary();
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
    if (const int unchanged = Count(EResult::Unchanged))
        text += ", " + Counted(TrText("CDownloadReport", "%1 unchanged"), unchanged);
    for (const auto& [reason, count] : skipped)
        text += ", " + FillText(TrText("CDownloadReport", "%1 skipped (%2)"), {std::to_string(count), reason});
    return FillText(
        stopped ? TrText("CDownloadReport", "%1. The download was stopped.") : TrText("CDownloadReport", "%1."),
        {text});
}

std::string CDownloadReport::BackupLine() const {
    if (backupPath.empty()) return {};
    if (operation == EOperation::Backup) return FillText(TrText("CDownloadReport", "Backup of the phone: %1"), {backupPath});
    return FillText(TrText("CDownloadReport", "Backup of the phone's previous values: %1"), {backupPath});
}

namespace {
// Names a grouped line shows before "and N more".
constexpr size_t kNamesShown = 3;
}  // namespace

std::vector<std::string> CDownloadReport::Lines() const {
    std::vector<std::string> lines{Summary()};
    if (!backupPath.empty()) lines.push_back(BackupLine());
    lines.insert(lines.end(), notes.begin(), notes.end());
    // One line per result and reason, in the order first met.
    std::vector<std::pair<std::pair<EResult, std::string>, std::vector<std::string>>> groups;
    for (const SRow& row : m_rows) {
        if (row.result == EResult::Verified || row.result == EResult::Written || row.result == EResult::Read ||
            row.result == EResult::Unchanged)
            continue;
        // Without a backup nothing was written; the summary says so once.
        if (!backupError.empty() && (row.result == EResult::NotWritten || row.result == EResult::NotBackedUp)) continue;
        const auto key = std::make_pair(row.result, row.detail);
        auto it = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.first == key; });
        if (it == groups.end()) it = groups.insert(groups.end(), {key, {}});
        it->second.push_back(RecordLabel(row));
    }
    for (const auto& [key, labels] : groups) {
        const std::string detail = key.second.empty() ? "" : ": " + key.second;
        if (labels.size() == 1) {
            lines.push_back(RowResultText(key.first) + ": " + labels[0] + detail);
            continue;
        }
        std::string names;
        for (size_t i = 0; i < labels.size() && i < kNamesShown; ++i) names += (i ? ", " : "") + labels[i];
        if (labels.size() > kNamesShown)
            names += FillText(TrText("CDownloadReport", " and %1 more"), {std::to_string(labels.size() - kNamesShown)});
        lines.push_back(RowResultText(key.first) + " (" + std::to_string(labels.size()) + ")" + detail + ": " + names);
    }
    if (!putBack.empty())
        lines.push_back(FillText(TrText("CDownloadReport", "Put back from the backup after a failed write: %1"),
                                 {JoinNames(putBack)}));
    for (const auto& [path, why] : notPutBack)
        lines.push_back(FillText(TrText("CDownloadReport", "Could not put back %1 after a failed write: %2"), {path, why}));
    return lines;
}

std::string CDownloadReport::TableText() const {
    std::string text;
    for (const std::string& line : Lines()) text += line + '\n';
    text += TrText("CDownloadReport", "Record\tID\tIndex\tSubscription\tResult\tDetail") + '\n';
    for (const SRow& row : m_rows) {
        const bool file = row.file;
        text += row.name + '\t' + (file ? "" : std::to_string(row.id)) + '\t' +
                (row.index >= 0 ? std::to_string(row.index) : "") + '\t' +
                (file && row.subscription == 0 ? "" : std::to_string(row.subscription)) + '\t' + RowResultText(row.result) + '\t' + row.detail +
                '\n';
    }
    return text;
}

std::string CDownloadReport::Json() const {
    std::string out = "{\"summary\":" + JsonText(Summary()) + ",\"backup\":" + JsonText(backupPath) +
                      ",\"backupError\":" + JsonText(backupError) + ",\"stopped\":" + (stopped ? "true" : "false");
    if (!filesError.empty()) out += ",\"filesError\":" + JsonText(filesError);
    if (!syncError.empty()) out += ",\"syncError\":" + JsonText(syncError);
    out += ",\"notes\":[";
    for (size_t i = 0; i < notes.size(); ++i) out += (i ? "," : "") + JsonText(notes[i]);
    out += "],\"putBack\":[";
    for (size_t i = 0; i < putBack.size(); ++i) out += (i ? "," : "") + JsonText(putBack[i]);
    out += "],\"notPutBack\":[";
    for (size_t i = 0; i < notPutBack.size(); ++i)
        out += (i ? "," : "") + std::string("{\"path\":") + JsonText(notPutBack[i].first) +
               ",\"reason\":" + JsonText(notPutBack[i].second) + "}";
    out += "]";
    for (EResult r : kResults) out += ",\"" + std::string(ResultKey(r)) + "\":" + std::to_string(Count(r));
    // The same counts for each kind of row.
    const std::pair<EKind, const char*> kinds[] = {
        {EKind::Record, "records"}, {EKind::SubscriptionRecord, "subscriptionRecords"}, {EKind::File, "files"}};
    out += ",\"byKind\":{";
    for (size_t k = 0; k < std::size(kinds); ++k) {
        out += (k ? ",\"" : "\"") + std::string(kinds[k].second) + "\":{";
        for (size_t i = 0; i < std::size(kResults); ++i)
            out += (i ? ",\"" : "\"") + std::string(ResultKey(kResults[i])) +
                   "\":" + std::to_string(Count(kResults[i], kinds[k].first));
        out += "}";
    }
    out += "}";
    out += ",\"skipped\":[";
    for (size_t i = 0; i < skipped.size(); ++i)
        out += (i ? "," : "") + std::string("{\"reason\":") + JsonText(skipped[i].first) +
               ",\"count\":" + std::to_string(skipped[i].second) + "}";
    out += "],\"records\":[";
    for (size_t i = 0; i < m_rows.size(); ++i) {
        const SRow& row = m_rows[i];
        out += (i ? ",\n" : "\n");
        if (row.file)
            out += "{\"path\":" + JsonText(row.path) +
                   (row.subscription > 0 ? ",\"subscription\":" + std::to_string(row.subscription) : std::string());
        else
            out += "{\"id\":" + std::to_string(row.id) + ",\"index\":" + std::to_string(row.index) +
                   ",\"subscription\":" + std::to_string(row.subscription) + ",\"name\":" + JsonText(row.name);
        out += ",\"result\":\"" + std::string(ResultKey(row.result)) + "\",\"detail\":" + JsonText(row.detail) + "}";
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
    if (!stopped && (!outcome.failed.empty() || !outcome.refused.empty() || Count(EResult::NotWritten) > 0 ||
                     !filesError.empty() || !syncError.empty())) {
        outcome.state = SOutcome::EState::Failed;
        outcome.reason = Summary();
    }
    return outcome;
}
