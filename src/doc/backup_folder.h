#pragma once
#include <cstdint>
#include <string>
#include <vector>

// The folder of the backups made before writes to the phone: the names of new backups and
// the newest one, which "Restore Last Backup to Mobile" and `restore --last` take.

// "20240501-143005-esn-8012abcd.cnv" in folder (extension ".cnv", ".qcn"), without the ESN
// when the phone did not tell it; a second backup within the same second gets a number. An
// incomplete one (the phone was not asked for everything) is marked so in its name. Only a
// proposal: the file is written as CSafeFileWriter::ETarget::New, under another name when
// this one is taken by the time it is renamed into place.
std::string NewBackupPath(const std::string& folder, bool haveEsn, unsigned esn, bool incomplete,
                          const std::string& extension);

// Makes folder and its parents for a new backup: empty when it is there, else the reason.
std::string MakeBackupFolder(const std::string& folder);

// The newest backup of folder of any kind Tessiva reads, incomplete ones left out; empty
// when there is none.
std::string NewestBackup(const std::string& folder);

// A name the host's file systems take for a phone's file or folder name: control and
// reserved characters become '_'.
std::string HostFileName(std::string name);

// Where a replaced or removed file of the phone is copied first: below
// folder/phone-files/DATE-TIME/ with the phone's path kept; a second copy within the same
// second gets a folder of its own.
std::string PhoneFileCopyPath(const std::string& folder, const std::string& phonePath);

// data, the phone's file phonePath, as a new file at PhoneFileCopyPath, the backups folder
// made first. Empty with path set to the copy, else the reason (path: where it was meant to go).
std::string SavePhoneFileCopy(const std::string& folder, const std::string& phonePath,
                              const std::vector<uint8_t>& data, std::string& path);
