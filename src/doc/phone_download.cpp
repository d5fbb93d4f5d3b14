// Download: the chosen records of the document, written by the one write protocol.
#include "doc/phone_session.h"

#include "doc/backup_folder.h"
#include "doc/numbered_state.h"
#include "doc/phone_write.h"
#include "doc/undefined_records.h"
#include "jobs/text_translation.h"
#include "model/nv_item_array.h"

SPhoneOutcome CPhoneSession::Download(const CNVItemArray& list, const CNumberedState* wholeDocument) {
    int undefined = 0;
    CNVItemArray chosen;
    for (const CNVItem& record : list) {
        if (!CUndefinedRecords::IsUndefined(record, m_itemDefs)) chosen.Add(record);
        else undefined += record.Active() == CNVItem::kActive;
    }
    SWriteSettings settings = WriteSettings(CDownloadReport::EOperation::Download, false);
    const int keptAside = wholeDocument ? static_cast<int>(wholeDocument->KeptAside().size()) : 0;
    settings.skipped.emplace_back(TrText("CPhoneSession", "kept aside: not defined"), undefined + keptAside);
    if (wholeDocument)
        settings.skipped.emplace_back(TrText("CPhoneSession", "item file: use Restore"),
                                      static_cast<int>(wholeDocument->ItemFiles().size()));
    return Write(ImageOfRecords(chosen, m_itemDefs), settings);
}

std::string CPhoneSession::LastBackupPath() const { return NewestBackup(m_settings.backupFolder); }
