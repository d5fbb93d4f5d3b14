#include "doc/phone_backup.h"

#include "files/backup_kind.h"
#include "files/backup_tree.h"
#include "doc/phone_progress.h"
#include "jobs/job_control.h"
#include "jobs/text_translation.h"
#include "model/item_file_defs.h"
#include "model/nv_item_array.h"
#include "phone/diag_commands.h"
#include "phone/diag_link.h"
#include "phone/efs_client.h"
#include "phone/nv_reader.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace {
using EResult = CDownloadReport::EResult;

// "x.qcn" -> "x-incomplete.qcn", as the backups of downloads are marked.
std::string IncompletePath(const std::string& path) {
    const size_t dot = path.find_last_of('.');
    const size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return path + "-incomplete";
    return path.substr(0, dot) + "-incomplete" + path.substr(dot);
}

// Statuses of a phone that does not keep the item at all: nothing to back up, no fault.
bool IsNotKept(uint16_t status) { return status == kNvNotActive || status == kNvBadParameter || status == kNvBadTarget; }
}  // namespace

CPhoneBackup::CPhoneBackup(CJobControl& jobs, std::shared_ptr<CDiagLink> link, const CNVItemArray& defs)
    : m_jobs(jobs), m_link(std::move(link)), m_defs(defs) {}

SOutcome CPhoneBackup::Run(const std::string& path, const SPhoneBackupOptions& options) {
    m_report = CDownloadReport();
    m_report.operation = CDownloadReport::EOperation::Backup;
    const EBackupKind kind = BackupKindOfName(path);
    if (kind != EBackupKind::Qcn && kind != EBackupKind::Xqcn)
        return SOutcome::Fail(FillText(TrText("CPhoneBackup", "A backup of the whole phone is a .qcn or .xqcn file, not %1."), {path}));
    if (!m_link) return SOutcome::Fail(TrText("CPhoneBackup", "Not connected to a phone."));
    SNumberedBackup backup;
    const SOutcome read = m_jobs.Run(TrText("CPhoneBackup", "Backing Up the Phone"),
                                     [&] { return ReadPhone(options, backup); });
    if (read.IsStopped()) {
        m_report.stopped = true;
        return SOutcome::Stop(TrText("CPhoneBackup", "The backup was stopped; nothing was saved."));
    }
    if (read.IsFailed()) return read;
    // A backup that missed anything never replaces a file at its path: it goes beside it.
    std::string target = path;
    const bool complete = m_report.Outcome().IsCompleted();
    std::error_code ec;
    if (!complete && std::filesystem::exists(path, ec)) target = IncompletePath(path);
    CCompoundNode tree;
    std::string error;
    if (!EncodeNumbered(backup, tree, error) ||
        !WriteBackupTree(target, tree, kind == EBackupKind::Xqcn ? EBackupForm::Xml : EBackupForm::Compound, error))
        return SOutcome::Fail(FillText(TrText("CPhoneBackup", "Can't write %1: %2"), {target, error}));
    m_report.backupPath = target;
    if (target != path)
        m_report.headline = FillText(TrText("CPhoneBackup", "The backup is incomplete: it was saved as %1, and %2 was "
                                                            "kept as it was."),
                                     {target, path});
    else if (!complete)
        m_report.headline = TrText("CPhoneBackup", "The backup is incomplete.");
    return m_report.Outcome();
}

std::vector<int> CPhoneBackup::Subscriptions(const SPhoneBackupOptions& options) {
    std::vector<int> subscriptions;
    const int wanted = options.subscriptions < 0 ? 2 : std::min(options.subscriptions, 2);
    if (wanted == 0 || m_defs.IsEmpty()) return subscriptions;
    // One read of the first item tells whether the phone keeps a subscription.
    SImageRecord probe;
    probe.record.id = static_cast<uint32_t>(m_defs[0].Id());
    probe.index = m_defs[0].Count() > 0 ? m_defs[0].Index() : -1;
    probe.name = m_defs[0].Name();
    std::array<uint8_t, SNumberedRecord::kDataSize> data{};
    for (int s = 1; s <= wanted; ++s) {
        probe.record.subscription = s;
        uint16_t status = 0;
        std::string why;
        bool lacking = true;  // the phone plainly has no such subscription
        if (!ReadImageRecord(*m_link, probe, data, status)) {
            if (m_link->HasFailed()) return subscriptions;  // the records' reads report it
            // A bad-command refusal says the phone has no subscriptions; a short reply or one
            // for another item says nothing of the kind, and is a failure.
            lacking = m_link->LastRefusal() == kDiagBadCommand;
            why = FillText(TrText("CPhoneBackup", "the phone does not answer the subscription command: %1"),
                           {m_link->LastError()});
        } else if (status == kNvBadParameter) {
            why = FillText(TrText("CPhoneBackup", "the phone does not keep subscription %1"), {std::to_string(s)});
        } else {
            subscriptions.push_back(s);
            continue;
        }
        // Asked for by name, a subscription the phone lacks is a failure; otherwise it just has none.
        if (options.subscriptions >= 0 || !lacking)
            m_report.AddRecord(s, probe.record.id, probe.index, probe.name, EResult::Failed, why);
        if (status != kNvBadParameter) break;  // no subscription command at all
    }
    return subscriptions;
}

std::vector<SImageRecord> CPhoneBackup::Wanted(const SPhoneBackupOptions& options,
                                               const std::vector<int>& subscriptions) const {
    std::vector<int> all = {0};
    all.insert(all.end(), subscriptions.begin(), subscriptions.end());
    std::vector<SImageRecord> wanted;
    wanted.reserve(all.size() * static_cast<size_t>(m_defs.GetSize()));
    for (int s : all) {
        for (const CNVItem& def : m_defs) {
            SImageRecord r;
            r.record.id = static_cast<uint32_t>(def.Id());
            r.record.subscription = s;
            r.index = def.Count() > 0 ? def.Index() : -1;
            r.name = def.Name();
            wanted.push_back(std::move(r));
        }
    }
    for (int s : all) {
        if (!options.scan) break;
        for (int id = std::max(options.scanFrom, 0); id <= std::min(options.scanTo, CNVItemArray::kMaxIds - 1); ++id) {
            if (m_defs.ContainsId(id)) continue;
            SImageRecord r;
            r.record.id = static_cast<uint32_t>(id);
            r.record.subscription = s;
            r.name = ItemName(r.record.id, m_defs);
            wanted.push_back(std::move(r));
        }
    }
    return wanted;
}

void CPhoneBackup::ListItemFiles(const SPhoneBackupOptions& options, const std::vector<int>& subscriptions,
                                 CEfsClient& efs, std::vector<SEfsFile>& files) {
    if (!efs.Hello()) {
        m_report.filesError = efs.LastError();
        return;
    }
    std::vector<std::string> roots = {kItemFilesRoot};
    roots.insert(roots.end(), options.roots.begin(), options.roots.end());
    std::set<std::string> seen;
    int missing = 0;
    for (const std::string& root : roots) {
        SEfsWalk walk;
        if (!efs.ListFiles(root, walk)) {
            // A root the phone does not have holds no files; any other failure is one.
            if (efs.LastErrno() == kEfsNoEntry) ++missing;
            else m_report.AddFile(root, EResult::Failed, efs.LastError());
        }
        for (const auto& [folder, why] : walk.refused)
            m_report.AddFile(folder, EResult::Failed,
                             FillText(TrText("CPhoneBackup", "the phone would not list this folder: %1"), {why}));
        for (const auto& [entry, why] : walk.passedOver) m_report.AddFile(entry, EResult::Failed, why);
        if (!walk.stoppedBy.empty()) m_report.AddFile(root, EResult::Failed, walk.stoppedBy);
        for (SEfsFile& f : walk.files)
            if (seen.insert(f.path).second) files.push_back(std::move(f));
        if (m_link->HasFailed() || m_jobs.IsStopRequested()) return;
    }
    m_report.Skip(TrText("CPhoneBackup", "folder not on the phone"), missing);
    // Files known by path, and the copies of the subscriptions read: stat finds hidden ones.
    std::vector<std::string> asked;
    for (const std::string& path : options.knownFiles) asked.push_back(path);
    const size_t walked = files.size();
    for (size_t i = 0; i < walked; ++i)
        if (ItemFileSubscription(files[i].path) == 0) asked.push_back(files[i].path);
    int absent = 0;
    for (const std::string& base : asked) {
        std::vector<std::string> paths;
        if (std::find(options.knownFiles.begin(), options.knownFiles.end(), base) != options.knownFiles.end())
            paths.push_back(base);
        for (int s : subscriptions) paths.push_back(SubscriptionCopyPath(base, s));
        for (const std::string& path : paths) {
            if (seen.count(path)) continue;
            seen.insert(path);
            SEfsStat stat;
            if (efs.Stat(path, stat)) {
                if (!stat.IsFolder()) files.push_back({path, stat.size, stat.mode});
            } else if (efs.LastErrno() == kEfsNoEntry || efs.LastErrno() == kEfsNotFolder) {
                absent += path == base ? 1 : 0;
            } else {
                m_report.AddFile(path, EResult::Failed, efs.LastError());
                if (m_link->HasFailed()) return;
            }
            if (m_jobs.IsStopRequested()) return;
        }
    }
    m_report.Skip(TrText("CPhoneBackup", "item file of NVItemFiles.def not on the phone"), absent);
}

SOutcome CPhoneBackup::ReadPhone(const SPhoneBackupOptions& options, SNumberedBackup& backup) {
    const std::string question = TrText("CPhoneBackup", "Are you sure you want to stop backing up the phone?");
    m_jobs.WaitForDialog();
    m_jobs.EnableCancel();
    if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    SPhoneVersion version;
    if (!m_link->ReadVersion(version))
        return m_jobs.FailJob(FillText(TrText("CPhoneBackup", "The phone does not answer: %1"), {m_link->LastError()}));
    backup.propertyInfo = NewPropertyInfo(version.software, version.model);

    const std::vector<int> subscriptions = Subscriptions(options);
    std::vector<SImageRecord> wanted = Wanted(options, subscriptions);
    const size_t defined = (subscriptions.size() + 1) * static_cast<size_t>(m_defs.GetSize());

    // The files are counted once the folders are walked, after the records.
    CPhoneProgress progress(m_jobs, static_cast<int>(wanted.size()), 0);
    int notActive = 0, notKept = 0, refused = 0;
    backup.records.reserve(wanted.size());
    CNvReader reader(*m_link);
    const bool read = reader.Read(ImageReads(wanted), [&](size_t i, const SNvReadResult& result) {
        SImageRecord& r = wanted[i];
        const bool scanned = i >= defined;
        if (!result.asked) {
            if (!scanned) m_report.AddRecord(r.record.subscription, r.record.id, r.index, r.name, EResult::Failed, CDownloadReport::NotAttemptedText());
        } else if (!result.ok) {
            // An item the phone will not let anyone read is no fault of the backup.
            if (result.refused == kDiagBadParameters) refused += scanned ? 0 : 1;
            else if (!scanned || m_link->HasFailed())
                m_report.AddRecord(r.record.subscription, r.record.id, r.index, r.name, EResult::Failed, result.error);
        } else if (result.status == kNvDone) {
            r.record.data = result.data;
            backup.records.push_back(r.record);
            m_report.AddRecord(r.record.subscription, r.record.id, r.index, r.name, EResult::Read);
        } else if (scanned) {
            // A scan asks for IDs the phone may never have heard of.
        } else if (result.status == kNvNotActive) {
            ++notActive;
        } else if (IsNotKept(result.status)) {
            ++notKept;
        } else {
            m_report.AddRecord(r.record.subscription, r.record.id, r.index, r.name, EResult::Failed, CDownloadReport::StatusText(result.status));
        }
        progress.RecordDone();
        return !m_jobs.ConfirmStop(question);
    });
    if (!read) return m_jobs.PostJobStopped();
    if (reader.FellBack()) m_jobs.Note(CNvReader::OneAtATimeText(), SNote::EKind::Information);
    m_report.Skip(TrText("CPhoneBackup", "not active on the phone"), notActive);
    m_report.Skip(TrText("CPhoneBackup", "not kept by the phone"), notKept);
    m_report.Skip(TrText("CPhoneBackup", "the phone does not let it be read"), refused);

    CEfsClient efs(m_link);
    std::vector<SEfsFile> files;
    efs.SetProgress([&](size_t) { return !m_jobs.ConfirmStop(question); });
    if (options.files && !m_link->HasFailed()) ListItemFiles(options, subscriptions, efs, files);
    if (m_jobs.IsStopRequested()) return m_jobs.PostJobStopped();
    progress.SetFiles(static_cast<int>(files.size()));
    std::vector<uint8_t> content;
    for (const SEfsFile& f : files) {
        if (m_link->HasFailed()) {
            m_report.AddFile(f.path, EResult::Failed, CDownloadReport::NotAttemptedText());
        } else if (!efs.ReadFile(f.path, content, f.size)) {
            m_report.AddFile(f.path, EResult::Failed, efs.LastError());
        } else {
            backup.itemFiles.push_back(BackupItemFile(f.path, std::move(content), f.mode));
            m_report.AddFile(f.path, EResult::Read);
        }
        progress.FileDone();
        if (m_jobs.ConfirmStop(question)) return m_jobs.PostJobStopped();
    }
    if (efs.FellBack() && !reader.FellBack()) m_jobs.Note(CNvReader::OneAtATimeText(), SNote::EKind::Information);
    return m_jobs.PostJobCompleted();
}
