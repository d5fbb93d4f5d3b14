#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One entry of a compound file held in memory: a storage with children or a stream with
// bytes. Children stay in the order they were read or added, which is the order the XML
// form writes; a compound file's own order is its library's business. Names are the
// file's ASCII (or UTF-8) names, compared byte-wise and case-sensitively.
class CCompoundNode {
public:
    CCompoundNode() = default;
    CCompoundNode(std::string name, bool storage) : m_name(std::move(name)), m_storage(storage) {}

    const std::string& Name() const { return m_name; }
    void SetName(const std::string& name) { m_name = name; }
    bool IsStorage() const { return m_storage; }
    bool IsStream() const { return !m_storage; }

    const std::vector<uint8_t>& Bytes() const { return m_bytes; }
    std::vector<uint8_t>& Bytes() { return m_bytes; }
    void SetBytes(std::vector<uint8_t> bytes) { m_bytes = std::move(bytes); }

    const std::vector<CCompoundNode>& Children() const { return m_children; }
    std::vector<CCompoundNode>& Children() { return m_children; }

    // The child of that name, or nullptr.
    const CCompoundNode* Child(const std::string& name) const;
    CCompoundNode* Child(const std::string& name);
    // The storage or stream at a slash-separated path below this node, or nullptr.
    const CCompoundNode* Find(const std::string& path) const;
    const CCompoundNode* FindStorage(const std::string& path) const;
    const CCompoundNode* FindStream(const std::string& path) const;

    // The child of that name, made (at the end) when missing; a child of the other kind
    // is replaced, since one name holds one entry.
    CCompoundNode& Storage(const std::string& name);
    CCompoundNode& Stream(const std::string& name);
    // Appends a child without looking for one of the same name: for readers that check.
    CCompoundNode& Append(CCompoundNode child);
    bool Remove(const std::string& name);

    // Same names, kinds and bytes all the way down; children are matched by name, so two
    // trees read from different forms compare equal whatever order each form keeps.
    bool SameContent(const CCompoundNode& other) const;
    // Streams and storages below this node, itself excluded.
    size_t CountBelow() const;

private:
    CCompoundNode& Ensure(const std::string& name, bool storage);

    std::string m_name;
    bool m_storage = true;
    std::vector<uint8_t> m_bytes;
    std::vector<CCompoundNode> m_children;
};
