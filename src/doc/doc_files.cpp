#include "doc/doc_files.h"

#include "jobs/text_translation.h"

std::string NotDefinedMessage(long long id) {
    return FillText(
        TrText("DocMessages",
               "NV Item ID = %1 \n Is not defined in NVItemsDefine.def file\n So it can't be edit by Tessiva"),
        {std::to_string(id)});
}

std::string ElementName(const std::string& name, int index) { return name + " [ " + std::to_string(index) + " ]"; }

std::string WrongDataMessage(const std::string& fileKind, const std::string& reason) {
    return FillText(TrText("DocMessages", "Wrong data in %1 File.\n%2\nNV Items can't be loaded from this file."),
                    {fileKind, reason});
}

// The first line is the message the QCN commands are known by; path and reason follow.
std::string CantOpenMessage(const std::string& path, const std::string& reason) {
    if (reason.empty()) return FillText(TrText("DocMessages", "Can't open the file\n%1"), {path});
    return FillText(TrText("DocMessages", "Can't open the file\n%1: %2"), {path, reason});
}

std::string CantWriteMessage(const std::string& path, const std::string& reason) {
    if (reason.empty())
        return FillText(
            TrText("DocMessages", "Can't write the file %1.\nThe previous file, if any, was left as it was."), {path});
    return FillText(
        TrText("DocMessages", "Can't write the file %1:\n%2\nThe previous file, if any, was left as it was."),
        {path, reason});
}

std::string ErrorCaption() { return TrText("DocMessages", "ERROR"); }

CNVItem LoadedRecord(int id, const std::vector<uint8_t>& value) {
    CNVItem record;
    record.SetId(id);
    record.SetActive(CNVItem::kActive);
    record.SetValue(value);
    return record;
}

size_t CarriedSize(const uint8_t* data, size_t size) {
    while (size > 1 && data[size - 1] == 0) --size;
    return size;
}

std::vector<uint8_t> Carried(const std::vector<uint8_t>& data) {
    return {data.begin(), data.begin() + static_cast<std::ptrdiff_t>(CarriedSize(data.data(), data.size()))};
}
