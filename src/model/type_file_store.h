#pragma once
#include <string>

// Where the type catalogue keeps NVTypes.typ. The catalogue only parses and formats the
// text; how the file is read and how a save survives a crash is the files layer's business.
class ITypeFileStore {
public:
    virtual ~ITypeFileStore() = default;
    // The whole file; false with the reason.
    virtual bool ReadTypeFile(const std::string& path, std::string& text, std::string& error) = 0;
    // Replaces the file with text only once text is complete; false with the reason.
    virtual bool WriteTypeFile(const std::string& path, const std::string& text, std::string& error) = 0;
    // Keeps a copy of the file as it is now under backupPath (nothing to do when there is no
    // file); false with the reason.
    virtual bool KeepCopy(const std::string& path, const std::string& backupPath, std::string& error) = 0;
};
