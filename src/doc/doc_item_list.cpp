// "Create CSV File by ... NV Items": the item list written to a file the user picks.
#include "doc_files.h"
#include "item_list_file.h"
#include "message_sink.h"
#include "tessiva_doc.h"

bool CTessivaDoc::WriteItemList(const CNVItemArray& list) {
    SFileDialogRequest request;
    request.filterLabel = "BRT list files (*.csv)";
    request.filterPattern = "*.csv";
    request.defaultExtension = "csv";
    request.initialName = "*.csv";
    request.overwritePrompt = true;
    request.hideReadOnly = true;
    std::string path;
    if (!m_fileChooser || !m_fileChooser->ChooseSaveFile(request, path)) return false;
    std::string error;
    if (CItemListFile::Write(path, list, error)) return true;
    Messages().ShowMessage(CantWriteMessage(path, error), EMessageIcon::Error);
    return false;
}
