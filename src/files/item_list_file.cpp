#include "files/item_list_file.h"

#include "files/safe_file_writer.h"

std::string CItemListFile::Format(const CNVItemArray& list) {
    std::string text = kHeader;
    text += "\r\n";
    bool firstLine = true;
    std::string previousId;
    for (const auto& item : list) {
        std::string idText = std::to_string(item.Id());
        if (!firstLine && idText == previousId) continue;  // another element of the same item
        if (!firstLine) text += "\r\n";
        const std::string& name = item.Name();
        text += name.substr(0, name.find('['));
        text += ';';
        text += idText;
        previousId = std::move(idText);
        firstLine = false;
    }
    return text;
}

bool CItemListFile::Write(const std::string& path, const CNVItemArray& list, std::string& error) {
    return CSafeFileWriter::WriteWholeFile(path, Format(list), error);
}
