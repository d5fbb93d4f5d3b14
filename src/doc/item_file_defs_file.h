#pragma once
#include "jobs/job_outcome.h"
#include "model/item_file_defs.h"

#include <string>
#include <vector>

// NVItemFiles.def at path into defs: none when there is no such file; a file that can't be
// read, or bad lines, are a warning among notes (the definitions of records still load).
void LoadItemFileDefs(const std::string& path, std::vector<SItemFileDef>& defs, std::vector<SNote>& notes);
