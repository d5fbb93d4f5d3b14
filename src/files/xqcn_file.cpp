#include "files/xqcn_file.h"

#include "files/byte_reader.h"
#include "model/input_file.h"
#include "files/safe_file_writer.h"
#include "files/xqcn_value_filter.h"
#include "jobs/text_translation.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QXmlStreamReader>

#include <functional>
#include <unordered_set>

namespace {
constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n";

bool IsSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// At most the first few dozen characters of text for a message: a name can be long.
std::string Shown(const std::string& text) {
    constexpr size_t kShown = 60;
    if (text.size() <= kShown) return text;
    size_t end = kShown;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;  // a whole UTF-8 character
    return text.substr(0, end) + "...";
}

std::string PathOf(const std::vector<std::string>& names, const std::string& last) {
    std::string path;
    for (size_t i = 1; i < names.size(); ++i) path += names[i] + "/";  // names[0] is the outer storage
    return path + last;
}

class CXmlTreeReader {
public:
    explicit CXmlTreeReader(CXqcnValueFilter& values) : m_values(values) {}

    bool Read(QXmlStreamReader& reader, CCompoundNode& root, std::string& outer) {
        std::vector<CCompoundNode*> stack;
        std::vector<std::unordered_set<std::string>> seen;
        std::vector<std::string> names;
        bool inStream = false, done = false;
        while (!reader.atEnd()) {
            const auto token = reader.readNext();
            if (token == QXmlStreamReader::Invalid) break;
            if (token == QXmlStreamReader::DTD)
                return Fail(
                    TrText("CXqcnFile", "It holds a document type declaration, which an .xqcn file never has."));
            if (token == QXmlStreamReader::Characters && !reader.isWhitespace())
                return Fail(FillText(TrText("CXqcnFile", "Line %1 holds text outside the elements."),
                                     {std::to_string(reader.lineNumber())}));
            if (token == QXmlStreamReader::EndElement) {
                if (inStream) {
                    inStream = false;
                } else {
                    stack.pop_back();
                    seen.pop_back();
                    names.pop_back();
                    done = stack.empty();
                }
                continue;
            }
            if (token != QXmlStreamReader::StartElement) continue;
            const auto line = std::to_string(reader.lineNumber());
            const QString element = reader.name().toString();
            const auto attributes = reader.attributes();
            const std::string name = attributes.value(QLatin1String("Name")).toString().toStdString();
            const std::string shownElement = Shown(element.toStdString());
            if (inStream || done)
                return Fail(FillText(TrText("CXqcnFile", "Line %1: a <%2> where none can be."), {line, shownElement}));
            if (!attributes.hasAttribute(QLatin1String("Name")) || name.empty())
                return Fail(FillText(TrText("CXqcnFile", "Line %1: a <%2> without a name."), {line, shownElement}));
            if (name.size() > CXqcnFile::kMaxName)
                return Fail(FillText(TrText("CXqcnFile", "Line %1: a name of %2 bytes; names have at most %3."),
                                     {line, std::to_string(name.size()), std::to_string(CXqcnFile::kMaxName)}));
            if (stack.empty()) {
                if (element != QLatin1String("Storage"))
                    return Fail(
                        FillText(TrText("CXqcnFile", "The outer element is <%1>, not <Storage>."), {shownElement}));
                outer = name;
                stack.push_back(&root);
                seen.emplace_back();
                names.push_back(name);
                continue;
            }
            const std::string path = Shown(PathOf(names, name));
            if (!seen.back().insert(name).second)
                return Fail(FillText(TrText("CXqcnFile", "The name %1 appears twice (line %2)."), {path, line}));
            if (element == QLatin1String("Storage")) {
                if (static_cast<int>(stack.size()) > CXqcnFile::kMaxDepth)
                    return Fail(FillText(TrText("CXqcnFile", "The storage %1 is nested too deeply."), {path}));
                stack.push_back(&stack.back()->Append(CCompoundNode(name, true)));
                seen.emplace_back();
                names.push_back(name);
            } else if (element == QLatin1String("Stream")) {
                if (!ReadStream(attributes, path, line, stack.back()->Append(CCompoundNode(name, false)).Bytes())) return false;
                inStream = true;
            } else {
                return Fail(FillText(TrText("CXqcnFile", "Line %1: an unknown element <%2>."), {line, shownElement}));
            }
        }
        if (reader.hasError())
        {
            std::string why = reader.errorString().toStdString();
            if (!why.empty() && why.back() == '.') why.pop_back();
            return Fail(FillText(TrText("CXqcnFile", "The XML is malformed at line %1: %2."),
                                 {std::to_string(reader.lineNumber()), why}));
        }
        if (!done) return Fail(TrText("CXqcnFile", "It holds no outer <Storage> element."));
        return true;
    }

    const std::string& Error() const { return m_error; }

private:
    bool ReadStream(const QXmlStreamAttributes& attributes, const std::string& path, const std::string& line,
                    std::vector<uint8_t>& bytes) {
        bool ok = false;
        const qulonglong length = attributes.value(QLatin1String("Length")).toULongLong(&ok);
        if (!ok)
            return Fail(FillText(TrText("CXqcnFile", "The stream %1 (line %2) has no valid Length."), {path, line}));
        if (!m_values.Take(attributes.value(QLatin1String("Value")), bytes))
            return Fail(FillText(TrText("CXqcnFile", "The stream %1 (line %2) has a Value that is not hex bytes."),
                                 {path, line}));
        if (length != bytes.size())
            return Fail(FillText(TrText("CXqcnFile", "The stream %1 (line %2) gives Length %3 but holds %4 bytes."),
                                 {path, line, std::to_string(length), std::to_string(bytes.size())}));
        return true;
    }

    bool Fail(const std::string& reason) {
        if (m_error.empty()) m_error = reason;
        return false;
    }

    CXqcnValueFilter& m_values;
    std::string m_error;
};

std::string TooLarge(uint64_t size) {
    return FillText(TrText("CXqcnFile", "The file is %1 MB, far more than any .xqcn backup; it was not read."),
                    {std::to_string(size >> 20)});
}

// Tab, line feed and carriage return go as character references; XML carries no other
// control character, so the reader could not take a name holding one.
bool IsReferencedControl(char32_t c) { return c == '\t' || c == '\n' || c == '\r'; }

bool CheckName(const std::string& name, std::string& error) {
    for (unsigned char c : name)
        if (c < 0x20 && !IsReferencedControl(c)) {
            error = FillText(TrText("CXqcnFile", "The name \"%1\" holds a control character, which XML can't carry."),
                             {Shown(name)});
            return false;
        }
    if (name.size() > CXqcnFile::kMaxName) {
        error = FillText(TrText("CXqcnFile", "The name \"%1\" has %2 bytes; an .xqcn file holds names of at most %3."),
                         {Shown(name), std::to_string(name.size()), std::to_string(CXqcnFile::kMaxName)});
        return false;
    }
    if (name.empty()) error = TrText("CXqcnFile", "An entry without a name can't be written.");
    return !name.empty();
}

// Writes the XML text element by element into a sink, through a buffer of its own. The
// declared encoding is Windows-1252: ASCII and Latin-1 letters go as bytes, anything else
// as a character reference; attributes are in single quotes and lines end in CR LF.
class CXmlTextWriter {
public:
    using Sink = std::function<bool(const uint8_t*, size_t)>;
    explicit CXmlTextWriter(Sink sink) : m_sink(std::move(sink)) { m_buffer.reserve(kChunk + 256); }

    bool Write(const CCompoundNode& root, const std::string& outerName, std::string& error) {
        Put(kDeclaration);
        if (!CheckName(outerName, error)) return false;
        if (!Storage(root, outerName, 0, true, error)) return false;
        Flush();
        if (!m_ok) error = TrText("CXqcnFile", "The XML could not be written.");
        return m_ok;
    }

private:
    static constexpr size_t kChunk = 1 << 16;

    bool Storage(const CCompoundNode& node, const std::string& name, int depth, bool outer, std::string& error) {
        if (depth > CXqcnFile::kMaxDepth + 1) {
            error = TrText("CXqcnFile", "The tree is nested too deeply.");
            return false;
        }
        Indent(depth);
        Put("<Storage Name='");
        PutText(name);
        if (node.Children().empty()) {
            Put("'/>\r\n");
            return true;
        }
        Put("'>\r\n");
        const CCompoundNode* version = nullptr;
        for (const auto& child : node.Children()) {
            // Files in the field end the outer storage with File_Version.
            if (outer && child.IsStream() && child.Name() == "File_Version") {
                version = &child;
                continue;
            }
            if (!Child(child, depth + 1, error)) return false;
        }
        if (version && !Child(*version, depth + 1, error)) return false;
        Indent(depth);
        Put("</Storage>\r\n");
        return true;
    }

    bool Child(const CCompoundNode& child, int depth, std::string& error) {
        if (!CheckName(child.Name(), error)) return false;
        if (child.IsStorage()) return Storage(child, child.Name(), depth, false, error);
        Indent(depth);
        Put("<Stream Length='");
        Put(std::to_string(child.Bytes().size()));
        Put("' Name='");
        PutText(child.Name());
        Put("' Value='");
        static const char kDigits[] = "0123456789ABCDEF";
        const auto& bytes = child.Bytes();
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i) m_buffer.push_back(' ');
            m_buffer.push_back(kDigits[bytes[i] >> 4]);
            m_buffer.push_back(kDigits[bytes[i] & 0xF]);
            if (m_buffer.size() >= kChunk) Flush();
        }
        Put("'/>\r\n");
        return m_ok;
    }

    void Indent(int depth) { m_buffer.append(static_cast<size_t>(2 * depth), ' '); }

    void Put(const std::string& text) {
        m_buffer += text;
        if (m_buffer.size() >= kChunk) Flush();
    }

    // A name as attribute text: markup characters escaped, the rest as the encoding allows.
    void PutText(const std::string& utf8) {
        const QString text = QString::fromStdString(utf8);
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i) {
            char32_t c = text[i].unicode();
            switch (c) {
            case '&': m_buffer += "&amp;"; continue;
            case '<': m_buffer += "&lt;"; continue;
            case '>': m_buffer += "&gt;"; continue;
            case '\'': m_buffer += "&apos;"; continue;
            case '"': m_buffer += "&quot;"; continue;
            default: break;
            }
            if ((c >= 0x20 && c < 0x80) || (c >= 0xA0 && c <= 0xFF)) {
                m_buffer.push_back(static_cast<char>(c));
                continue;
            }
            if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
                ++i;
            }
            m_buffer += "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
        }
    }

    void Flush() {
        if (m_ok && !m_buffer.empty())
            m_ok = m_sink(reinterpret_cast<const uint8_t*>(m_buffer.data()), m_buffer.size());
        m_buffer.clear();
    }

    Sink m_sink;
    std::string m_buffer;
    bool m_ok = true;
};
}  // namespace

bool CXqcnFile::LooksLikeXml(const uint8_t* data, size_t size) {
    size_t i = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
    while (i < size && IsSpace(data[i])) ++i;
    return i < size && data[i] == '<';
}

std::string CXqcnFile::EmptyFile() { return TrText("CXqcnFile", "It is an empty file."); }

std::string CXqcnFile::NotXml() { return TrText("CXqcnFile", "It is not an XQCN file (expected XML)."); }

bool CXqcnFile::Read(const std::string& path, CCompoundNode& root, std::string& error, std::string* outerName) {
    root = CCompoundNode();
    CInputFile input;
    QFile file(QFile::decodeName(path.c_str()));
    if (!CByteReader::OpenFile(path, input, file, error)) return false;
    return ReadDevice(file, root, error, outerName);
}

bool CXqcnFile::ReadDevice(QIODevice& device, CCompoundNode& root, std::string& error, std::string* outerName) {
    root = CCompoundNode();
    error.clear();
    const QByteArray start = device.peek(4096);
    if (start.isEmpty()) {
        error = EmptyFile();
        return false;
    }
    if (!LooksLikeXml(reinterpret_cast<const uint8_t*>(start.data()), static_cast<size_t>(start.size()))) {
        error = NotXml();
        return false;
    }
    CXqcnValueFilter values(device);
    QXmlStreamReader xml(&values);
    CXmlTreeReader reader(values);
    CCompoundNode tree;
    std::string outer;
    if (!reader.Read(xml, tree, outer)) {
        error = values.TooLong()
                    ? FillText(TrText("CXqcnFile", "It holds a name, attribute or text of more than %1 KB, which an "
                                                   ".xqcn file never has."),
                               {std::to_string(CXqcnValueFilter::kMaxMarkup >> 10)})
                    : reader.Error();
        return false;
    }
    root = std::move(tree);
    if (outerName) *outerName = outer;
    return true;
}

bool CXqcnFile::ReadMemory(const uint8_t* data, size_t size, CCompoundNode& root, std::string& error, std::string* outerName) {
    root = CCompoundNode();
    error.clear();
    if (size > kMaxFileSize) {
        error = TooLarge(size);
        return false;
    }
    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    return ReadDevice(buffer, root, error, outerName);
}

bool CXqcnFile::WriteMemory(const CCompoundNode& root, const std::string& outerName, std::vector<uint8_t>& bytes,
                            std::string& error) {
    bytes.clear();
    error.clear();
    CXmlTextWriter writer([&](const uint8_t* data, size_t n) {
        bytes.insert(bytes.end(), data, data + n);
        return true;
    });
    if (writer.Write(root, outerName, error)) return true;
    bytes.clear();
    return false;
}

bool CXqcnFile::Write(const std::string& path, const CCompoundNode& root, std::string& error) {
    error.clear();
    const std::string outer = QFileInfo(QFile::decodeName(path.c_str())).fileName().toStdString();
    CSafeFileWriter file;
    if (file.Open(path)) return Write(file, outer.empty() ? "backup.xqcn" : outer, root, error);
    error = file.Error();
    return false;
}

bool CXqcnFile::Write(CSafeFileWriter& file, const std::string& outerName, const CCompoundNode& root,
                      std::string& error) {
    error.clear();
    CXmlTextWriter writer([&](const uint8_t* data, size_t n) { return file.Write(data, n); });
    if (writer.Write(root, outerName, error) && file.Commit()) return true;
    if (!file.Error().empty()) error = file.Error();
    file.Cancel();
    return false;
}
