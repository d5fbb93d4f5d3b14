#pragma once
#include "jobs/job_outcome.h"

#include <vector>

class CJobControl;
class CNVItemArray;

// Completion of loaded records from the definitions: array elements placed at their index,
// missing ones added, and the fill-up job that gives every record its definition's data.
class CItemCompletion {
public:
    CItemCompletion(CJobControl& jobs, const CNVItemArray& defs);

    // Elements of array items take the index from their first byte; with addMissing the
    // elements a file did not hold are added as not active records.
    void CompleteArrayElements(CNVItemArray& items, bool addMissing = true);
    // Adds, for every array item of items, the elements it lacks as not active records.
    void AddMissingElements(CNVItemArray& items);
    // The fill-up as a job. expand 1: an array record holds the whole array in 128-byte slots.
    SOutcome StartFillUp(CNVItemArray& items, int expand);
    SOutcome FillUpItems(CNVItemArray& items, int expand);

private:
    // Appends the missing elements of these array items, in this order.
    void AppendMissingElements(CNVItemArray& items, const std::vector<int>& arrayIds);

    CJobControl& m_jobs;
    const CNVItemArray& m_itemDefs;
};
