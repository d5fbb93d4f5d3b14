#pragma once
#include <set>
#include <string>
#include <utility>
#include <vector>

class CNVItem;
class CNVItemArray;
class CNVTypeCatalog;

// One field of a record as the content view shows it.
struct SFieldText {
    std::string name, dec, hex, type;
};

// The name of the row after the fields that shows, in hex, the bytes a value carries past its type.
std::string PastDefinitionName();

// Selects the record's type in the catalogue, or one byte field per value byte for a record
// without a type; false when the catalogue lacks the type.
bool SelectRecordType(CNVTypeCatalog& catalog, const CNVItem& item);

// The record's fields through the catalogue, then the bytes past them as one row. False when
// the catalogue lacks the record's type. A record without a value shows its fields with empty values.
bool DecodeRecordFields(CNVTypeCatalog& catalog, const CNVItem& item, std::vector<SFieldText>& fields);

// What differs between two sets of records, matched by ID and element index: the records
// only in A, only in B, and those whose active state or value differ with their differing
// fields decoded. The pointers refer into the arrays compared.
struct SItemComparison {
    struct SChange {
        const CNVItem* a;
        const CNVItem* b;
        bool decoded = false;  // false when the type is not in the catalogue
        std::vector<std::pair<SFieldText, SFieldText>> fields;
    };
    std::vector<const CNVItem*> onlyA, onlyB;
    std::vector<SChange> changes;
    // Types the catalogue lacks, each once.
    std::set<std::string> unknownTypes;

    bool Equal() const { return onlyA.empty() && onlyB.empty() && changes.empty(); }
};

SItemComparison CompareItems(const CNVItemArray& a, const CNVItemArray& b, CNVTypeCatalog& catalog);

// into with copies of records put in: each replaces the record of its ID and element index,
// or joins the others when into has none; the result is sorted by ID.
CNVItemArray CopyRecordsInto(const CNVItemArray& into, const std::vector<const CNVItem*>& records);
