#include "files/compound_file.h"

#include "files/gsf_notes.h"

#include "files/byte_reader.h"
#include "files/safe_file_writer.h"
#include "jobs/text_translation.h"

#include <gsf/gsf.h>
#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-outfile-msole.h>
#include <gsf/gsf-outfile.h>
#include <gsf/gsf-output-memory.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_set>

namespace {
// Owns one GObject reference, so every path out of a function releases it.
template <typename T>
struct SRef {
    explicit SRef(T* p = nullptr) : ptr(p) {}
    ~SRef() {
        if (ptr) g_object_unref(ptr);
    }
    SRef(const SRef&) = delete;
    SRef& operator=(const SRef&) = delete;
    T* get() const { return ptr; }
    T* ptr;
};

std::string Join(const std::string& parent, const std::string& name) { return parent.empty() ? name : parent + "/" + name; }

bool IsStorage(GsfInput* child) { return GSF_IS_INFILE(child) && gsf_infile_num_children(GSF_INFILE(child)) >= 0; }

class CTreeReader {
public:
    explicit CTreeReader(size_t fileSize) : m_fileSize(fileSize) {}

    bool ReadStorage(GsfInfile* storage, const std::string& where, int depth, CCompoundNode& node) {
        if (depth > CCompoundFile::kMaxDepth)
            return Fail(FillText(TrText("CCompoundFile", "The storage %1 is nested too deeply; the file is damaged."),
                                 {where}));
        const int n = gsf_infile_num_children(storage);
        std::unordered_set<std::string> seen;
        for (int i = 0; i < n; ++i) {
            const char* raw = gsf_infile_name_by_index(storage, i);
            const std::string name = raw ? raw : "";
            const std::string path = Join(where, name);
            if (name.empty())
                return Fail(where.empty() ? TrText("CCompoundFile", "An entry of the root has no name.")
                                          : FillText(TrText("CCompoundFile", "An entry of %1 has no name."), {where}));
            if (!seen.insert(name).second)
                return Fail(
                    FillText(TrText("CCompoundFile", "The name %1 appears twice; the file is damaged."), {path}));
            SRef<GsfInput> child(gsf_infile_child_by_index(storage, i));
            if (!child.get())
                return Fail(
                    FillText(TrText("CCompoundFile", "The entry %1 can't be opened; the file is damaged."), {path}));
            if (IsStorage(child.get())) {
                CCompoundNode& sub = node.Append(CCompoundNode(name, true));
                if (!ReadStorage(GSF_INFILE(child.get()), path, depth + 1, sub)) return false;
            } else {
                CCompoundNode& stream = node.Append(CCompoundNode(name, false));
                if (!ReadStream(child.get(), path, stream.Bytes())) return false;
            }
        }
        return true;
    }

    const std::string& Error() const { return m_error; }

private:
    bool ReadStream(GsfInput* input, const std::string& path, std::vector<uint8_t>& bytes) {
        const gsf_off_t size = gsf_input_size(input);
        // No stream can be longer than the file that holds it: a larger size is damage,
        // and checking first keeps a forged size from allocating anything.
        if (size < 0 || static_cast<uint64_t>(size) > m_fileSize)
            return Fail(FillText(TrText("CCompoundFile", "The stream %1 claims %2 bytes, more than the file holds."),
                                 {path, std::to_string(size)}));
        bytes.resize(static_cast<size_t>(size));
        if (size > 0 && !gsf_input_read(input, static_cast<size_t>(size), bytes.data())) {
            bytes.clear();
            return Fail(FillText(TrText("CCompoundFile", "The stream %1 can't be read; the file is damaged."), {path}));
        }
        return true;
    }

    bool Fail(const std::string& reason) {
        if (m_error.empty()) m_error = reason;
        return false;
    }

    size_t m_fileSize;
    std::string m_error;
};

bool ValidName(const std::string& name) {
    return !name.empty() && name.size() <= CCompoundFile::kMaxName && name.find_first_of("/\\:!") == std::string::npos;
}

bool WriteChildren(GsfOutfile* parent, const CCompoundNode& node, const std::string& where, int depth, std::string& error) {
    if (depth > CCompoundFile::kMaxDepth) {
        error = FillText(TrText("CCompoundFile", "The storage %1 is nested too deeply to be written."), {where});
        return false;
    }
    std::unordered_set<std::string> seen;
    for (const auto& child : node.Children()) {
        const std::string path = Join(where, child.Name());
        if (!ValidName(child.Name())) {
            error = FillText(
                TrText("CCompoundFile",
                       "The name \"%1\" can't be stored in a compound file (1 to 31 characters, no / \\ : !)."),
                {path});
            return false;
        }
        if (!seen.insert(child.Name()).second) {
            error = FillText(TrText("CCompoundFile", "The name %1 appears twice."), {path});
            return false;
        }
        SRef<GsfOutput> out(gsf_outfile_new_child(parent, child.Name().c_str(), child.IsStorage()));
        if (!out.get()) {
            error = FillText(TrText("CCompoundFile", "The entry %1 could not be made."), {path});
            return false;
        }
        bool ok = true;
        if (child.IsStorage())
            ok = WriteChildren(GSF_OUTFILE(out.get()), child, path, depth + 1, error);
        else if (!child.Bytes().empty())
            ok = gsf_output_write(out.get(), child.Bytes().size(), child.Bytes().data());
        // A child is closed before its parent: a storage is complete only when all in it is.
        const bool closed = gsf_output_close(out.get());
        if (!ok || !closed) {
            if (error.empty()) error = FillText(TrText("CCompoundFile", "The entry %1 could not be written."), {path});
            return false;
        }
    }
    return true;
}
}  // namespace

bool CCompoundFile::HasSignature(const uint8_t* data, size_t size) {
    static const uint8_t kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    return size >= sizeof kSignature && std::memcmp(data, kSignature, sizeof kSignature) == 0;
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
    InitGsf();
    std::string notes;
    CGsfNotesScope scope(notes);
    const bool read = ReadTree(data, size, root, error);
    if (!read && !notes.empty()) error += "\nlibgsf: " + notes;
    return read;
}

bool CCompoundFile::ReadTree(const uint8_t* data, size_t size, CCompoundNode& root, std::string& error) {
    root = CCompoundNode();
    error.clear();
    if (!HasSignature(data, size)) {
        error =
            TrText("CCompoundFile", "It is not a compound file (its first bytes are not a compound file's signature).");
        return false;
    }
    // The caller's bytes are borrowed, not copied: they outlive every object made here.
    SRef<GsfInput> input(gsf_input_memory_new(data, static_cast<gsf_off_t>(size), FALSE));
    GError* gerror = nullptr;
    SRef<GsfInfile> infile(input.get() ? gsf_infile_msole_new(input.get(), &gerror) : nullptr);
    if (!infile.get()) {
        const std::string detail = gerror && gerror->message ? gerror->message : "";
        if (gerror) g_error_free(gerror);
        error = detail.empty()
                    ? TrText("CCompoundFile", "It is not a readable compound file.")
                    : FillText(TrText("CCompoundFile", "It is not a readable compound file (%1)."), {detail});
        return false;
    }
    if (gerror) g_error_free(gerror);
    CTreeReader reader(size);
    CCompoundNode tree;
    if (!reader.ReadStorage(infile.get(), "", 0, tree)) {
        error = reader.Error();
        return false;
    }
    root = std::move(tree);
    return true;
}

bool CCompoundFile::WriteMemory(const CCompoundNode& root, std::vector<uint8_t>& bytes, std::string& error) {
    InitGsf();
    bytes.clear();
    error.clear();
    SRef<GsfOutput> sink(gsf_output_memory_new());
    SRef<GsfOutfile> outfile(sink.get() ? gsf_outfile_msole_new(sink.get()) : nullptr);
    if (!outfile.get()) {
        error = TrText("CCompoundFile", "The compound file could not be made.");
        return false;
    }
    const bool written = WriteChildren(outfile.get(), root, "", 0, error);
    // Closed on every path so libgsf lets go of what it built.
    const bool closed = gsf_output_close(GSF_OUTPUT(outfile.get()));
    if (!written) return false;
    if (!closed) {
        error = TrText("CCompoundFile", "The compound file could not be completed.");
        return false;
    }
    const guint8* data = gsf_output_memory_get_bytes(GSF_OUTPUT_MEMORY(sink.get()));
    const auto size = static_cast<size_t>(gsf_output_size(sink.get()));
    if (!data && size) {
        error = TrText("CCompoundFile", "The compound file could not be completed.");
        return false;
    }
    bytes.assign(data, data + size);
    return true;
}

bool CCompoundFile::Write(const std::string& path, const CCompoundNode& root, std::string& error) {
    std::vector<uint8_t> bytes;
    if (!WriteMemory(root, bytes, error)) return false;
    return CSafeFileWriter::WriteWholeFile(path, bytes, error);
}
