#pragma once
#include "model/type_file_store.h"

// NVTypes.typ on disk: read whole, saved through CSafeFileWriter like every backup, so a
// failed or killed save leaves the previous file and no temporary file.
class CNVTypesFile : public ITypeFileStore {
public:
    bool ReadTypeFile(const std::string& path, std::string& text, std::string& error) override;
    bool WriteTypeFile(const std::string& path, const std::string& text, std::string& error) override;
    bool KeepCopy(const std::string& path, const std::string& backupPath, std::string& error) override;

    // The store catalogues use when the document has handed them none.
};
