#include "files/compound_file.h"

#include "files/byte_reader.h"
#include "files/compound_reader.h"
#include "files/compound_writer.h"
#include "files/safe_file_writer.h"
#include "jobs/text_translation.h"

#include <cstring>
#include <utility>

static_assert(CCompoundFile::kMaxDepth == CCompoundReader::kMaxDepth);

namespace {
// Adds node's children below parent, storages before going deeper, with a stack of its own.
bool AddTree(CCompoundWriter& writer, const CCompoundNode& top, std::string& error) {
    std::vector<std::pair<const CCompoundNode*, uint32_t>> storages{{&top, CCompoundWriter::kRoot}};
    std::vector<int> depths{0};
    while (!storages.empty()) {
        const auto [node, id] = storages.back();
        const int depth = depths.back();
        storages.pop_back();
        depths.pop_back();
        for (const auto& child : node->Children()) {
            if (!child.IsStorage()) {
                writer.AddStream(id, child.Name(), child.Bytes().data(), child.Bytes().size());
                continue;
            }
            if (depth + 1 > CCompoundFile::kMaxDepth) {
                error = FillText(TrText("CCompoundFile", "The storage %1 is nested too deeply to be written."),
                                 {child.Name()});
                return false;
            }
            storages.emplace_back(&child, writer.AddStorage(id, child.Name()));
            depths.push_back(depth + 1);
        }
    }
    return true;
}

bool WriteTo(const CCompoundNode& root, const CCompoundWriter::Sink& sink, std::string& error) {
    CCompoundWriter writer;
    if (!AddTree(writer, root, error)) return false;
    if (writer.Finish(sink)) return true;
    if (error.empty()) error = writer.Error();
    return false;
}
}  // namespace

bool CCompoundFile::HasSignature(const uint8_t* data, size_t size) {
    return size >= sizeof Cfb::kSignature && std::memcmp(data, Cfb::kSignature, sizeof Cfb::kSignature) == 0;
}

bool CCompoundFile::Read(const std::string& path, CCompoundNode& root, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!CByteReader::ReadFile(path, bytes, error)) {
        root = CCompoundNode();
        return false;
    }
    return ReadMemory(bytes.data(), bytes.size(), root, error);
}

bool CCompoundFile::ReadMemory(const uint8_t* data, size_t size, CCompoundNode& root, std::string& error) {
    root = CCompoundNode();
    error.clear();
    CCompoundReader reader;
    if (!reader.Open(data, size)) {
        error = reader.Error();
        return false;
    }
    // Storages are filled a level at a time: a node's children are all appended before any
    // of them is entered, so the pointers kept on the stack stay valid.
    CCompoundNode tree;
    std::vector<std::pair<uint32_t, CCompoundNode*>> storages{{CCompoundReader::kRoot, &tree}};
    while (!storages.empty()) {
        const auto [id, node] = storages.back();
        storages.pop_back();
        const auto& children = reader.Entry(id).children;
        node->Children().reserve(children.size());
        for (uint32_t child : children) {
            CCompoundNode& added = node->Append(CCompoundNode(reader.NameOf(child), reader.Entry(child).storage));
            if (!added.IsStorage() && !reader.ReadStream(child, added.Bytes())) {
                error = FillText(TrText("CCompoundFile", "The stream %1 can't be read; the compound file is damaged."),
                                 {reader.PathOf(child)});
                return false;
            }
        }
        for (size_t i = 0; i < children.size(); ++i)
            if (node->Children()[i].IsStorage()) storages.emplace_back(children[i], &node->Children()[i]);
    }
    root = std::move(tree);
    return true;
}

bool CCompoundFile::WriteMemory(const CCompoundNode& root, std::vector<uint8_t>& bytes, std::string& error) {
    bytes.clear();
    error.clear();
    const bool ok = WriteTo(root, [&](const uint8_t* data, size_t n) {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    }, error);
    if (!ok) bytes.clear();
    return ok;
}

bool CCompoundFile::Write(const std::string& path, const CCompoundNode& root, std::string& error) {
    CSafeFileWriter file;
    if (file.Open(path)) return Write(file, root, error);
    error = file.Error();
    return false;
}

bool CCompoundFile::Write(CSafeFileWriter& file, const CCompoundNode& root, std::string& error) {
    error.clear();
    const bool written = WriteTo(root, [&](const uint8_t* data, size_t n) { return file.Write(data, n); }, error);
    if (written && file.Commit()) return true;
    // A failed write or commit says what the file system said; a refused tree keeps its reason.
    if (!file.Error().empty()) error = file.Error();
    if (error.empty()) error = TrText("CSafeFileWriter", "The file could not be written.");
    file.Cancel();
    return false;
}
