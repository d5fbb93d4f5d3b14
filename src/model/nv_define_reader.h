#pragma once
#include "jobs/job_outcome.h"
#include "model/nv_item_array.h"

#include <string>

class CJobControl;

// Reads NVItemsDefine.def and item lists, and resolves a list of IDs against the
// definitions. Each reading runs as a job.
class CNVDefineReader {
public:
    explicit CNVDefineReader(CJobControl& jobs) : m_jobs(jobs) {}

    SOutcome StartReadDefinitions(const std::string& path, CNVItemArray& target);
    SOutcome ReadDefinitions();

    SOutcome StartReadItemList(const std::string& path, CNVItemArray& target);
    SOutcome ReadItemList();

    SOutcome StartBuildItemsFromList(const std::string& path, const CNVItemArray& defs, CNVItemArray& out);
    SOutcome BuildItemsFromList();

    // No format or phone command carries more: a bigger element or array is a damaged line.
    static constexpr int kMaxElementSize = 128;
    static constexpr int kMaxElements = 256;
    // Records the whole definitions file may give.
    static constexpr int kMaxRecords = 1280000;

    static bool IsBasicTypeName(const std::string& name);
    // Field k (1-based) of a definition line: runs of ";" count as one separator and a
    // leading ";" is ignored. Fields 1, 3, 4 and 6 come back trimmed.
    static std::string GetField(const std::string& line, int k);
    // The records one definition line gives; false, adding nothing, when the line is not a
    // usable definition (fewer than six fields, no ID, an ID outside 0..65535, an element over
    // kMaxElementSize bytes, more than kMaxElements elements) or would give more than room records.
    static bool ParseDefinitionLine(const std::string& line, CNVItemArray& out, int room = kMaxRecords);
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
