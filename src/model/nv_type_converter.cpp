#include "model/nv_type_converter.h"

#include "model/definition_text.h"
#include "model/nv_field.h"
#include "model/nv_type_catalog.h"
#include "jobs/text_translation.h"

#include <limits>

namespace {
bool IsData(std::string_view type) { return CNVField::DataTypeSize(type) >= 0; }

// The array count as %d reads it; false when the text holds no number.
bool ReadCount(const std::string& text, long long& count) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return false;
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        if (value < std::numeric_limits<int>::max()) value = value * 10 + (text[i] - '0');
    count = negative ? -value : value;
    return true;
}

std::string ProblemText(CNVTypeConverter::EProblem p) {
    switch (p) {
    case CNVTypeConverter::EProblem::ContainsItself: return TrText("CNVTypeConverter", "contains itself");
    case CNVTypeConverter::EProblem::BadCount: return TrText("CNVTypeConverter", "an array count is not a number");
    case CNVTypeConverter::EProblem::TooLarge: return TrText("CNVTypeConverter", "too many fields");
    default: return "";
    }
}

constexpr size_t kMaxFields = CNVTypeCatalog::kMaxFieldsPerType;
constexpr size_t kMaxLength = CNVTypeCatalog::kMaxDefinitionLength;
}  // namespace

struct CNVTypeConverter::SFrame {
    std::string name;
    SDefinitionParts parts;
    size_t index = 0;
    std::vector<std::string> out;
    size_t length = 0;
    EProblem problem = EProblem::None;
    EProblem root = EProblem::None;
    std::string culprit;
    bool onCycle = false;

    void Fail(EProblem p, EProblem r, std::string c = {}) {
        problem = p;
        root = r;
        culprit = std::move(c);
    }
};

CNVTypeConverter::CNVTypeConverter(std::map<std::string, std::string>& definitions) : m_definitions(definitions) {}

void CNVTypeConverter::ExpandArrays(const std::string& name) {
    std::string& def = m_definitions[name];
    if (def.find('[') == std::string::npos) return;
    SDefinitionParts parts = SplitDefinition(def);
    std::vector<std::string> out;
    size_t length = parts.tail.size();
    EProblem problem = EProblem::None;
    for (std::string& field : parts.fields) {
        // Only a field's first bracket pair counts; what follows its "]" is dropped.
        std::string current = std::move(field);
        bool replaced = false;  // by its elements, possibly none
        for (size_t open; !replaced && (open = current.find('[')) != std::string::npos;) {
            const size_t close = current.find(']', open + 1);
            const std::string base = current.substr(0, open);
            const std::string count =
                current.substr(open + 1, close == std::string::npos ? std::string::npos : close - open - 1);
            if (CNVField::IsTextTypeName(FieldTypeText(current))) {
                // A text field keeps its length as text; the count may itself hold a "[".
                current = base + "{" + count + "}";
                continue;
            }
            replaced = true;
            long long c = 0;
            if (!ReadCount(count, c)) {
                problem = EProblem::BadCount;
            } else if (c > 0 && (out.size() + static_cast<size_t>(c) > kMaxFields ||
                                 length + static_cast<size_t>(c) * (base.size() + 16) > kMaxLength)) {
                problem = EProblem::TooLarge;
            } else {
                for (long long k = 0; k < c; ++k) {
                    out.push_back(base + "{" + std::to_string(k) + "}");
                    length += out.back().size() + 1;
                }
            }
        }
        if (problem != EProblem::None) break;
        if (!replaced) {
            length += current.size() + 1;
            out.push_back(std::move(current));
        }
    }
    if (problem != EProblem::None) {
        m_arrayProblems[name] = problem;
        def = CNVTypeCatalog::kBadDefinition;
        return;
    }
    def = JoinDefinition(out, parts.tail);
}

void CNVTypeConverter::ExpandCompounds(const std::string& name) {
    const SFlat& flat = Flatten(name);
    std::string def = flat.problem == EProblem::None ? JoinDefinition(flat.fields, flat.tail)
                                                     : std::string(CNVTypeCatalog::kBadDefinition);
    m_totalLength += name.size() + def.size() + 3;
    m_definitions[name] = std::move(def);
}

void CNVTypeConverter::Begin(const std::string& name, std::vector<SFrame>& stack) {
    SFlat& flat = m_flat[name];
    flat.state = SFlat::Busy;
    const auto bad = m_arrayProblems.find(name);
    if (bad != m_arrayProblems.end()) {
        flat.state = SFlat::Done;
        flat.problem = flat.root = bad->second;
        m_order.push_back(name);
        return;
    }
    SFrame frame;
    frame.name = name;
    frame.parts = SplitDefinition(m_definitions[name]);
    stack.push_back(std::move(frame));
}

void CNVTypeConverter::Finish(std::vector<SFrame>& stack) {
    SFrame& frame = stack.back();
    SFlat& flat = m_flat[frame.name];
    flat.state = SFlat::Done;
    if (frame.problem != EProblem::None) {
        flat.problem = frame.onCycle ? EProblem::ContainsItself : frame.problem;
        flat.root = frame.onCycle ? EProblem::ContainsItself : frame.root;
        flat.culprit = frame.culprit;
    } else {
        flat.fields = std::move(frame.out);
        flat.tail = std::move(frame.parts.tail);
    }
    m_order.push_back(frame.name);
    stack.pop_back();
}

const CNVTypeConverter::SFlat& CNVTypeConverter::Flatten(const std::string& root) {
    const auto known = m_flat.find(root);
    if (known != m_flat.end() && known->second.state == SFlat::Done) return known->second;

    std::vector<SFrame> stack;
    Begin(root, stack);
    while (!stack.empty()) {
        SFrame& f = stack.back();
        if (f.problem != EProblem::None || f.index == f.parts.fields.size()) {
            Finish(stack);
            continue;
        }
        const std::string& text = f.parts.fields[f.index];
        const std::string_view type = FieldTypeText(text);
        if (IsData(type)) {
            if (f.out.size() + 1 > kMaxFields || f.length + text.size() + 1 > kMaxLength) {
                f.Fail(EProblem::TooLarge, EProblem::TooLarge);
                continue;
            }
            f.length += text.size() + 1;
            f.out.push_back(text);
            ++f.index;
            continue;
        }
        const std::string typeName(type);
        const auto dep = m_flat.find(typeName);
        if (dep == m_flat.end()) {
            if (m_definitions.find(typeName) == m_definitions.end()) {
                f.Fail(EProblem::UnknownType, EProblem::UnknownType);
                continue;
            }
            Begin(typeName, stack);  // f is not used past this point: the stack may move
            continue;
        }
        const SFlat& sub = dep->second;
        if (sub.state == SFlat::Busy) {
            // Every type on the stack from typeName up to here contains itself.
            for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
                it->onCycle = true;
                if (it->name == typeName) break;
            }
            f.Fail(EProblem::ContainsItself, EProblem::ContainsItself);
            continue;
        }
        if (sub.problem != EProblem::None) {
            f.Fail(EProblem::ContainsBadType, sub.root, typeName);
            continue;
        }
        const std::string_view outer = FieldNameText(text);
        size_t added = 0;
        for (const auto& member : sub.fields) added += member.size() + outer.size() + 2;
        if (f.out.size() + sub.fields.size() > kMaxFields || f.length + added > kMaxLength) {
            f.Fail(EProblem::TooLarge, EProblem::TooLarge);
            continue;
        }
        for (const auto& member : sub.fields) {
            const std::string_view memberType = FieldTypeText(member);
            const std::string_view memberName = FieldNameText(member);
            std::string expanded;
            expanded.reserve(member.size() + outer.size() + 2);
            expanded.append(memberType).append(" ").append(outer).append(".").append(memberName);
            f.out.push_back(std::move(expanded));
        }
        f.length += added;
        ++f.index;
    }
    return m_flat[root];
}

std::vector<std::string> CNVTypeConverter::Problems() const {
    std::vector<std::string> lines;
    std::set<std::string> listed;
    for (const auto& name : m_order) {
        const SFlat& flat = m_flat.at(name);
        if (flat.root == EProblem::None || flat.root == EProblem::UnknownType) continue;
        if (!listed.insert(name).second) continue;
        if (flat.problem == EProblem::ContainsBadType)
            lines.push_back(FillText(TrText("CNVTypeConverter", "%1 (contains %2)"), {name, flat.culprit}));
        else
            lines.push_back(FillText(TrText("CNVTypeConverter", "%1 (%2)"), {name, ProblemText(flat.problem)}));
    }
    return lines;
}
