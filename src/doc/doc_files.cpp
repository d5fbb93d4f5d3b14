#include "doc_files.h"


std::string NotDefinedMessage(long long id) {
    return "NV Item ID = " + std::to_string(id) +
           " \n Is not defined in NVItemsDefine.def file\n So it can't be edit by Tessiva";
}

std::string ElementName(const std::string& name, int index) { return name + " [ " + std::to_string(index) + " ]"; }

std::string WrongDataMessage(const std::string& fileKind, const std::string& reason) {
    return "Wrong data in " + fileKind + " File.\n" + reason + "\nNV Items can't be loaded from this file.";
}

// The first line is the message the QCN commands are known by; path and reason follow.
std::string CantOpenMessage(const std::string& path, const std::string& reason) {
    return "Can't open the file\n" + path + (reason.empty() ? "" : ": " + reason);
}

std::string CantWriteMessage(const std::string& path, const std::string& reason) {
    return "Can't write the file " + path + (reason.empty() ? "." : ":\n" + reason) +
           "\nThe previous file, if any, was left as it was.";
}

CNVItem LoadedRecord(int id, const std::vector<uint8_t>& value) {
    CNVItem record;
    record.SetId(id);
    record.SetActive(CNVItem::kActive);
    record.SetValue(value);
    return record;
}
