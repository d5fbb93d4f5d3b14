#pragma once
#include "files/numbered_backup.h"

#include <map>
#include <string>
#include <vector>

class CSimPhone;

// The whole simulated phone as a numbered backup: the records of every subscription (those
// no definition names too, served like any other), and the item files of its areas.
class CSimNumberedImage {
public:
    // Fills the phone from the numbered backup read from path; false with a sentence in error.
    bool Load(SNumberedBackup&& backup, const std::string& path, CSimPhone& phone, std::string& error);
    // Writes what the phone holds; a loaded backup keeps its other streams, and files keep
    // the area and index they came with (new ones go to NV_Items).
    bool Save(const std::string& path, CSimPhone& phone, std::string& error) const;

private:
    SNumberedBackup m_backup;  // as read; records: those the link can't reach (IDs above 65535, repeats)
    std::map<std::string, std::vector<SItemFile>> m_origins;  // by path
};
