#pragma once
#include "model/nv_item_array.h"

#include <functional>
#include <string>

// What one file kind can hold of a record, so that a save refuses what it would have to cut.
struct SSaveLimits {
    const char* fileKind;  // "BRT", "CNV", "QCN"
    int plainMax;          // value bytes of a non-array item
    int elementMax;        // value bytes of an array element
    int maxIndex;          // highest element index the file can tell apart; -1: no limit
};

// "NV Item ID = 441 (Band Pref)" or, for an element, "NV Item ID = 10 (Name [ 2 ]), element 2".
std::string ItemLabel(const CNVItem& item);

// Checks every record with active 1 of list; false with a message naming the first record
// that does not fit.
bool CheckRecordsFit(const CNVItemArray& list, const SSaveLimits& limits, std::string& message);
// The same, each record against the limits limitsOf gives it (a file that keeps some records
// in another form).
bool CheckRecordsFit(const CNVItemArray& list, const std::function<const SSaveLimits&(const CNVItem&)>& limitsOf,
                     std::string& message);
