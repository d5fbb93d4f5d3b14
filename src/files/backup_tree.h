#pragma once
#include "files/compound_node.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Entry points for backups held as compound trees, whichever form they come in.

enum class EBackupForm { Compound, Xml };
enum class EQcnLayout { Tessiva, Numbered, Unknown };

// Reads a compound file or its XML form, told apart by content; form says which it was.
bool ReadBackupTree(const std::string& path, CCompoundNode& tree, EBackupForm& form, std::string& error);
bool ReadBackupTree(const uint8_t* data, size_t size, CCompoundNode& tree, EBackupForm& form, std::string& error);
// Writes tree in form through a temporary file beside path; a failure leaves the old file.
// A tree whose streams alone pass the size Tessiva reads is refused before anything is written.
bool WriteBackupTree(const std::string& path, const CCompoundNode& tree, EBackupForm form, std::string& error);
// The same under a name of Tessiva's own that nothing else has (CSafeFileWriter::ETarget::New):
// path is the name wanted, and the name the file really got once it is written.
bool WriteNewBackupTree(std::string& path, const CCompoundNode& tree, EBackupForm form, std::string& error);

// Which layout a tree holds. Numbered: NV_NUMBERED_ITEMS below an 8-digit storage's
// default, or File_Version at the top. Tessiva: a storage holding a storage of
// digit-named item storages (or "default" with nothing in it, as an empty save leaves it).
// For Unknown, found says what the top level holds, for the user's message.
EQcnLayout DetectQcnLayout(const CCompoundNode& tree, std::string& found);
