// QCN files in Tessiva's own layout. Their progress cannot be cancelled: Cancel is never enabled in these jobs.
#include "doc/backup_files.h"
#include "doc/backup_reader.h"

#include "doc/doc_files.h"
#include "jobs/job_control.h"
#include "model/nv_item_array.h"
#include "files/qcn_file.h"
#include "jobs/text_translation.h"

#include <functional>

namespace {
// Runs work as a job without Cancel and returns what work returned, whatever a stop
// request said: these steps can't be interrupted.
bool RunWithoutCancel(CJobControl& jobs, const std::string& caption, const std::function<bool()>& work) {
    bool result = false;
    (void)jobs.Run(caption, [&] {
        result = work();
        return jobs.PostJobCompleted();
    });
    return result;
}

bool CommitWithProgress(CJobControl& jobs, CQcnFile& file) {
    return RunWithoutCancel(jobs, TrText("CBackupFiles", "QCN file commit.\nPlease wait."), [&] {
        jobs.SetRange(7);
        return file.CommitAndClose([&](int position) { jobs.SetPosition(position); });
    });
}

}  // namespace

SOutcome CBackupFiles::SaveQcn(const std::string& path, const CNVItemArray& all, ESaveLayout layout) {
    if (SavesNumbered(layout)) return SaveNumbered(path, all, EBackupForm::Compound);
    CNVItemArray fitting;
    int leftOut = 0;
    const CNVItemArray& list = Holdable(all, fitting, leftOut);
    if (!HasSomethingToSave(list)) return SOutcome::Fail(NothingToSave());
    std::string refusal;
    if (!CheckRecordsFit(list, CQcnFile::kLimits, refusal)) return SOutcome::Fail(refusal);
    CQcnFile file;
    if (!file.Create(path) || !file.CreateLevel("00000000") || !file.CreateLevel("default"))
        return SOutcome::Fail(CantOpenMessage(path, file.Error()));
    const bool written = RunWithoutCancel(m_jobs, SavingCaption("QCN"), [&] {
        m_jobs.SetRange(list.GetSize());
        return file.WriteItems(list, [&](int i) { m_jobs.SetPosition(i); });
    });
    if (!written) return SOutcome::Fail(file.Error());
    if (!CommitWithProgress(m_jobs, file)) return SOutcome::Fail(CantWriteMessage(path, file.Error()));
    SOutcome saved = SOutcome::Done();
    NoteLeftOut(saved, "Tessiva QCN", leftOut);
    return saved;
}

SOutcome CBackupReader::ReadTessivaQcn(const std::vector<uint8_t>& bytes, const std::string& path,
                                       SBackupContent& content) {
    CQcnFile file;
    CNVItemArray loaded;
    std::string failure;
    const std::string caption = TrText("CBackupFiles", "Loading NV Items from QCN file.\nPlease wait.");
    const bool read = RunWithoutCancel(m_jobs, caption, [&] {
        if (!file.OpenMemory(bytes.data(), bytes.size())) {
            failure = CantOpenMessage(path, file.Error());
            return false;
        }
        std::vector<std::string> storages, streams;
        if (!file.OpenFirstLevels() || !file.ListItemStorages(storages)) {
            failure = WrongDataMessage("QCN", file.Error());
            return false;
        }
        m_jobs.SetRange(static_cast<int>(storages.size()));
        CQcnFile::SElement element;
        for (size_t i = 0; i < storages.size(); ++i) {
            m_jobs.SetPosition(static_cast<int>(i));
            const int id = CQcnFile::NumberOf(storages[i]);
            if (!file.OpenItemStorage(storages[i]) || !file.ListStreams(streams)) {
                failure = WrongDataMessage("QCN", file.Error());
                return false;
            }
            for (const auto& name : streams) {
                if (!file.ReadElement(name, element)) {
                    failure = WrongDataMessage("QCN", file.Error());
                    return false;
                }
                // The block up to its last byte that holds anything: bytes past the definition stay.
                CNVItem record = LoadedRecord(id, Carried(element.block));
                record.SetIndex(CQcnFile::NumberOf(name));
                loaded.Add(std::move(record));
            }
        }
        return true;
    });
    // On failure the file is released with its object, nothing else is shown.
    if (!read) return SOutcome::Fail(failure);
    CommitWithProgress(m_jobs, file);
    // Against the definitions; elements take the form with the index in the first byte.
    m_undefined = CUndefinedRecords();
    loaded.KeepIf([this](const CNVItem& r) {
        const int d = m_itemDefs.FindById(r.Id());
        if (d < 0 && r.Id() >= CNVItemArray::kMaxIds) {
            m_jobs.Note(NotDefinedMessage(r.Id()));
        } else if (d < 0) {
            m_undefined.Add(r.Id(), r.Index(), r.Value());
        }
        if (d < 0) return false;
        if (m_itemDefs[d].Count() > 0 && r.Index() > 255) {
            m_jobs.Note(FillText(TrText("CBackupFiles",
                                        "NV Item ID = %1: element %2 was left out: element "
                                        "indexes above 255 can't be told apart."),
                                 {std::to_string(r.Id()), std::to_string(r.Index())}));
            return false;
        }
        return true;
    });
    for (auto& r : loaded) {
        if (m_itemDefs[m_itemDefs.FindById(r.Id())].Count() <= 0) {
            r.SetIndex(-1);  // stream "0" of a non-array item: no element, as after the other loads
            continue;
        }
        std::vector<uint8_t> value;
        value.reserve(r.Value().size() + 1);
        value.push_back(static_cast<uint8_t>(r.Index() & 0xFF));
        value.insert(value.end(), r.Value().begin(), r.Value().end());
        r.SetValue(value);
    }
    m_completion.CompleteArrayElements(loaded);
    SOutcome filled = m_completion.StartFillUp(loaded, 0);
    return Finish(std::move(filled), std::move(loaded), EBackupOrigin::TessivaQcn, content);
}
