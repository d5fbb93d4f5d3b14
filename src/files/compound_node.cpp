#include "files/compound_node.h"

#include <algorithm>
#include <unordered_map>

const CCompoundNode* CCompoundNode::Child(const std::string& name) const {
    for (const auto& child : m_children)
        if (child.m_name == name) return &child;
    return nullptr;
}

CCompoundNode* CCompoundNode::Child(const std::string& name) {
    return const_cast<CCompoundNode*>(static_cast<const CCompoundNode*>(this)->Child(name));
}

const CCompoundNode* CCompoundNode::Find(const std::string& path) const {
    const CCompoundNode* node = this;
    size_t start = 0;
    while (node && start <= path.size()) {
        const size_t slash = path.find('/', start);
        const std::string part = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        node = node->IsStorage() ? node->Child(part) : nullptr;
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    return node;
}

const CCompoundNode* CCompoundNode::FindStorage(const std::string& path) const {
    const CCompoundNode* node = Find(path);
    return node && node->IsStorage() ? node : nullptr;
}

const CCompoundNode* CCompoundNode::FindStream(const std::string& path) const {
    const CCompoundNode* node = Find(path);
    return node && node->IsStream() ? node : nullptr;
}

CCompoundNode& CCompoundNode::Ensure(const std::string& name, bool storage) {
    if (CCompoundNode* child = Child(name)) {
        if (child->m_storage != storage) *child = CCompoundNode(name, storage);
        return *child;
    }
    return Append(CCompoundNode(name, storage));
}

CCompoundNode& CCompoundNode::Storage(const std::string& name) { return Ensure(name, true); }

CCompoundNode& CCompoundNode::Stream(const std::string& name) { return Ensure(name, false); }

CCompoundNode& CCompoundNode::Append(CCompoundNode child) {
    m_children.push_back(std::move(child));
    return m_children.back();
}

bool CCompoundNode::Remove(const std::string& name) {
    const auto it = std::find_if(m_children.begin(), m_children.end(), [&](const CCompoundNode& c) { return c.m_name == name; });
    if (it == m_children.end()) return false;
    m_children.erase(it);
    return true;
}

bool CCompoundNode::SameContent(const CCompoundNode& other) const {
    if (m_name != other.m_name || m_storage != other.m_storage || m_bytes != other.m_bytes ||
        m_children.size() != other.m_children.size())
        return false;
    // A map keeps a storage of many thousand streams from costing a scan per child.
    std::unordered_map<std::string, const CCompoundNode*> theirs;
    theirs.reserve(other.m_children.size());
    for (const auto& child : other.m_children) theirs.emplace(child.m_name, &child);
    for (const auto& child : m_children) {
        const auto it = theirs.find(child.m_name);
        if (it == theirs.end() || !child.SameContent(*it->second)) return false;
    }
    return true;
}

size_t CCompoundNode::CountBelow() const {
    size_t n = m_children.size();
    for (const auto& child : m_children) n += child.CountBelow();
    return n;
}
