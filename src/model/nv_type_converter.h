#pragma once
#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

// Converts the definitions read from NVTypesDefine.def into flat ones, in place: pass 1
// expands array fields, pass 2 replaces compound fields by the members of their type.
//
// Pass 2 expands each type once and reuses the result, so the work is proportional to the
// output. A type that cannot be expanded (an unknown field type, a type containing itself,
// an array count that is no number, more fields than the limits allow) becomes
// "Bad Parametr", and so does every type that contains it, whatever the order of the file.
// A definition's fields are those counted before its conversion; text after its last
// counted ";" is kept as it is.
class CNVTypeConverter {
public:
    enum class EProblem { None, UnknownType, ContainsItself, BadCount, TooLarge, ContainsBadType };

    explicit CNVTypeConverter(std::map<std::string, std::string>& definitions);

    // Pass 1 for one type of the list.
    void ExpandArrays(const std::string& name);
    // Pass 2 for one type of the list (after pass 1 for all of them).
    void ExpandCompounds(const std::string& name);

    // Characters of the definitions written by pass 2 so far.
    size_t TotalLength() const { return m_totalLength; }
    // Lines "name (reason)" for the types that became "Bad Parametr" for a reason other than
    // an unknown field type, in conversion order; empty when there are none.
    std::vector<std::string> Problems() const;

private:
    struct SFlat {
        enum EState { Busy, Done } state = Busy;
        EProblem problem = EProblem::None;
        EProblem root = EProblem::None;  // the problem at the bottom of a containment chain
        std::string culprit;             // the contained type, for ContainsBadType
        std::vector<std::string> fields;
        std::string tail;
    };
    struct SFrame;

    const SFlat& Flatten(const std::string& name);
    void Begin(const std::string& name, std::vector<SFrame>& stack);
    void Finish(std::vector<SFrame>& stack);

    std::map<std::string, std::string>& m_definitions;
    std::map<std::string, EProblem> m_arrayProblems;
    std::unordered_map<std::string, SFlat> m_flat;
    std::vector<std::string> m_order;  // types in the order pass 2 finished them
    size_t m_totalLength = 0;
};
