#pragma once
#include "job_outcome.h"
#include "nv_item_array.h"

#include <string>

class CJobControl;

// Reads NVItemsDefine.def and item lists, and resolves a list of IDs against the
// definitions. Each reading runs as a job.
class CNVDefineReader {
public:
    explicit CNVDefineReader(CJobControl& jobs) : m_jobs(jobs) {}

    bool StartReadDefinitions(const std::string& path, CNVItemArray& target);
    SOutcome ReadDefinitions();

    bool StartReadItemList(const std::string& path, CNVItemArray& target);
    SOutcome ReadItemList();

    bool StartBuildItemsFromList(const std::string& path, const CNVItemArray& defs, CNVItemArray& out);
    SOutcome BuildItemsFromList();

    static bool IsBasicTypeName(const std::string& name);
    // Field k (1-based) of a definition line: runs of ";" count as one separator and a
    // leading ";" is ignored. Fields 1, 3, 4 and 6 come back trimmed.
    static std::string GetField(const std::string& line, int k);
    // The records one definition line gives; false when the line is not a usable
    // definition (fewer than six fields, no ID, or an ID outside 0..4999).
    static bool ParseDefinitionLine(const std::string& line, CNVItemArray& out);
    // The ID an item list line names (the text after the first ";" up to the next one);
    // false when it holds no number.
    static bool ParseListLine(const std::string& line, int& id);

    std::string m_path;
    CNVItemArray* m_target = nullptr;
    const CNVItemArray* m_defs = nullptr;
    CNVItemArray* m_out = nullptr;

private:
    CJobControl& m_jobs;
};
