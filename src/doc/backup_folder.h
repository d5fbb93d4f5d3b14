#pragma once
#include <string>

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
