#pragma once
// Texts shared by the document's file operations.
#include "model/nv_item.h"

#include <string>
#include <vector>


// "NV Item ID = %d \n Is not defined in NVItemsDefine.def file\n So it can't be edit by Tessiva"
std::string NotDefinedMessage(long long id);
// An element's name, after a file load and an upload alike: "%s [ %d ]".
std::string ElementName(const std::string& name, int index);
// A file whose content is damaged; the CNV checksum failure keeps its own exact text.
std::string WrongDataMessage(const std::string& fileKind, const std::string& reason);
std::string CantOpenMessage(const std::string& path, const std::string& reason);
std::string CantWriteMessage(const std::string& path, const std::string& reason);
// The caption of the message boxes that say only "ERROR" above their text.
std::string ErrorCaption();

// A record as a file holds it: ID and value, active; the rest comes from the definitions.
CNVItem LoadedRecord(int id, const std::vector<uint8_t>& value);

// What a record of fixed size (a 128-byte block or slot) carries: up to its last non-zero
// byte, at least one. Bytes past an item's definition are kept that way.
size_t CarriedSize(const uint8_t* data, size_t size);
std::vector<uint8_t> Carried(const std::vector<uint8_t>& data);
