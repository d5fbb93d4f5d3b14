// QCN files. Their progress cannot be cancelled: Cancel is never enabled in these jobs.
#include "doc_files.h"
#include "job_control.h"
#include "qcn_file.h"
#include "tessiva_doc.h"

#include <functional>

namespace {
// Runs work as a job without Cancel and returns what work returned, whatever a stop
// request said: these steps can't be interrupted.
bool RunWithoutCancel(CJobControl& jobs, const std::string& caption, const std::function<bool()>& work) {
    bool result = false;
    jobs.Run(caption, [&] {
        result = work();
        jobs.PostJobCompleted();
    });
    return result;
}

bool CommitWithProgress(CJobControl& jobs, CQcnFile& file) {
    return RunWithoutCancel(jobs, "QCN file commit.\nPlease wait.", [&] {
        jobs.SetRange(7);
        return file.CommitAndClose([&](int position) { jobs.SetPosition(position); });
    });
}
}  // namespace

bool CTessivaDoc::SaveAllActiveToQcn(const std::string& path) { return SaveQcn(path, m_items); }

bool CTessivaDoc::SaveSelectedActiveToQcn(const std::string& path) {
    CNVItemArray list = SelectedItemsForSave(*this);
    return SaveQcn(path, list);
}

bool CTessivaDoc::SaveQcn(const std::string& path, const CNVItemArray& list) {
    std::string refusal;
    if (!CheckRecordsFit(list, CQcnFile::kLimits, refusal)) {
        Messages().ShowMessage(refusal, EMessageIcon::Error);
        return false;
    }
    CQcnFile file;
    if (!file.Create(path) || !file.CreateLevel("00000000") || !file.CreateLevel("default")) {
        Messages().ShowMessage(CantOpenMessage(path, file.Error()), EMessageIcon::Plain);
        return false;
    }
    const bool written = RunWithoutCancel(m_jobs, "Saving NV Items to QCN file.\nPlease wait.", [&] {
        m_jobs.SetRange(list.GetSize());
        return file.WriteItems(list, [&](int i) { m_jobs.SetPosition(i); });
    });
    if (!written) {
        Messages().ShowMessage(file.Error(), EMessageIcon::Error);
        return false;
    }
    if (!CommitWithProgress(m_jobs, file)) {
        Messages().ShowMessage(CantWriteMessage(path, file.Error()), EMessageIcon::Error);
        return false;
    }
    return true;
}

bool CTessivaDoc::LoadQcn(const std::string& path) {
    m_jobPath = path;
    m_selectedEntries.ClearEntries();
    CQcnFile file;
    CNVItemArray loaded;
    std::string failure;
    EMessageIcon failureIcon = EMessageIcon::Error;
    const bool read = RunWithoutCancel(m_jobs, "Loading NV Items from QCN file.\nPlease wait.", [&] {
        if (!file.Open(path)) {
            failure = CantOpenMessage(path, file.Error());
            failureIcon = EMessageIcon::Plain;
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
                // The whole block: a 128-byte value stays whole.
                CNVItem record = LoadedRecord(id, element.block);
                record.SetIndex(CQcnFile::NumberOf(name));
                loaded.Add(std::move(record));
            }
        }
        return true;
    });
    if (!read) {
        Messages().ShowMessage(failure, failureIcon);
        m_items.RemoveAll();
        return false;  // the file is released with its object, nothing else is shown
    }
    CommitWithProgress(m_jobs, file);
    // Against the definitions; elements take the form with the index in the first byte.
    loaded.KeepIf([this](const CNVItem& r) {
        const int d = m_itemDefs.FindById(r.Id());
        if (d < 0) {
            Messages().ShowMessage(NotDefinedMessage(r.Id()), EMessageIcon::Error);
            return false;
        }
        if (m_itemDefs[d].Count() > 0 && r.Index() > 255) {
            Messages().ShowMessage("NV Item ID = " + std::to_string(r.Id()) + ": element " + std::to_string(r.Index()) +
                                       " was left out: element indexes above 255 can't be told apart.",
                                   EMessageIcon::Error);
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
    m_items = std::move(loaded);
    CompleteArrayElements();
    if (!StartFillUp(0)) {
        m_items.RemoveAll();
        return false;
    }
    ReplaceItems(m_items);
    return true;
}
