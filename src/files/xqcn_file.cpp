#include "files/xqcn_file.h"

#include "files/byte_reader.h"
#include "files/safe_file_writer.h"
#include "jobs/text_translation.h"

#include <QByteArray>
#include <QFileInfo>
#include <QString>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <filesystem>
#include <unordered_set>

namespace {
constexpr char kDeclaration[] = "<?xml version=\"1.0\" encoding=\"Windows-1252\" ?>\r\n";

int HexValue(char16_t c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool IsSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Two hex digits per byte, separated by whitespace; false on anything else.
bool ParseHex(QStringView text, std::vector<uint8_t>& bytes) {
    bytes.clear();
    bytes.reserve(static_cast<size_t>(text.size()) / 3 + 1);
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (IsSpace(text[i].unicode())) {
            ++i;
            continue;
        }
        if (i + 1 >= n) return false;
        const int hi = HexValue(text[i].unicode()), lo = HexValue(text[i + 1].unicode());
        if (hi < 0 || lo < 0 || (i + 2 < n && !IsSpace(text[i + 2].unicode()))) return false;
        bytes.push_back(static_cast<uint8_t>(hi << 4 | lo));
        i += 2;
    }
    return true;
}

QString Hex(const std::vector<uint8_t>& bytes) {
    static const char16_t kDigits[] = u"0123456789ABCDEF";
    QString text(bytes.empty() ? 0 : static_cast<qsizetype>(bytes.size() * 3 - 1), QChar(' '));
    QChar* out = text.data();
    for (size_t i = 0; i < bytes.size(); ++i) {
        out[i * 3] = QChar(kDigits[bytes[i] >> 4]);
        out[i * 3 + 1] = QChar(kDigits[bytes[i] & 0xF]);
    }
    return text;
}

std::string PathOf(const std::vector<std::string>& names, const std::string& last) {
    std::string path;
    for (size_t i = 1; i < names.size(); ++i) path += names[i] + "/";  // names[0] is the outer storage
    return path + last;
}

class CXmlTreeReader {
public:
    bool Read(const QByteArray& xml, CCompoundNode& root, std::string& outer) {
        QXmlStreamReader reader(xml);
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
            if (inStream || done)
                return Fail(
                    FillText(TrText("CXqcnFile", "Line %1: a <%2> where none can be."), {line, element.toStdString()}));
            if (!attributes.hasAttribute(QLatin1String("Name")) || name.empty())
                return Fail(
                    FillText(TrText("CXqcnFile", "Line %1: a <%2> without a name."), {line, element.toStdString()}));
            if (stack.empty()) {
                if (element != QLatin1String("Storage"))
                    return Fail(FillText(TrText("CXqcnFile", "The outer element is <%1>, not <Storage>."),
                                         {element.toStdString()}));
                outer = name;
                stack.push_back(&root);
                seen.emplace_back();
                names.push_back(name);
                continue;
            }
            const std::string path = PathOf(names, name);
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
                return Fail(
                    FillText(TrText("CXqcnFile", "Line %1: an unknown element <%2>."), {line, element.toStdString()}));
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
        if (!ParseHex(attributes.value(QLatin1String("Value")), bytes))
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

    std::string m_error;
};

std::string TooLarge(uint64_t size) {
    return FillText(TrText("CXqcnFile", "The file is %1 MB, far more than any .xqcn backup; it was not read."),
                    {std::to_string(size >> 20)});
}

bool CheckName(const std::string& name, std::string& error) {
    for (unsigned char c : name)
        if (c < 0x20) {
            error = FillText(TrText("CXqcnFile", "The name \"%1\" holds a control character, which XML can't carry."),
                             {name});
            return false;
        }
    if (name.empty()) error = TrText("CXqcnFile", "An entry without a name can't be written.");
    return !name.empty();
}

bool WriteNode(QXmlStreamWriter& xml, const CCompoundNode& node, bool outer, int depth, std::string& error) {
    if (depth > CXqcnFile::kMaxDepth) {
        error = TrText("CXqcnFile", "The tree is nested too deeply.");
        return false;
    }
    const CCompoundNode* version = nullptr;
    auto write = [&](const CCompoundNode& child) {
        if (!CheckName(child.Name(), error)) return false;
        if (child.IsStorage()) {
            xml.writeStartElement(QLatin1String("Storage"));
            xml.writeAttribute(QLatin1String("Name"), QString::fromStdString(child.Name()));
            if (!WriteNode(xml, child, false, depth + 1, error)) return false;
            xml.writeEndElement();
        } else {
            xml.writeEmptyElement(QLatin1String("Stream"));
            xml.writeAttribute(QLatin1String("Length"), QString::number(child.Bytes().size()));
            xml.writeAttribute(QLatin1String("Name"), QString::fromStdString(child.Name()));
            xml.writeAttribute(QLatin1String("Value"), Hex(child.Bytes()));
        }
        return true;
    };
    for (const auto& child : node.Children()) {
        // Files in the field end the outer storage with File_Version.
        if (outer && child.IsStream() && child.Name() == "File_Version") {
            version = &child;
            continue;
        }
        if (!write(child)) return false;
    }
    return !version || write(*version);
}

// The declared encoding is Windows-1252: ASCII and Latin-1 letters go as bytes, anything
// else as a character reference, and lines end in CR LF as on Windows.
void AppendEncoded(const QString& text, std::vector<uint8_t>& out) {
    out.reserve(out.size() + static_cast<size_t>(text.size()) + text.size() / 8);
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = text[i].unicode();
        if (c == '\n') {
            out.push_back('\r');
            out.push_back('\n');
        } else if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
            out.push_back(static_cast<uint8_t>(c));
        } else {
            if (QChar::isHighSurrogate(c) && i + 1 < n && text[i + 1].isLowSurrogate()) {
                c = QChar::surrogateToUcs4(text[i].unicode(), text[i + 1].unicode());
                ++i;
            }
            const std::string ref = "&#" + std::to_string(static_cast<uint32_t>(c)) + ";";
            out.insert(out.end(), ref.begin(), ref.end());
        }
    }
}
}  // namespace

bool CXqcnFile::LooksLikeXml(const uint8_t* data, size_t size) {
    size_t i = size >= 3 && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF ? 3 : 0;
    while (i < size && IsSpace(data[i])) ++i;
    return i < size && data[i] == '<';
}

bool CXqcnFile::Read(const std::string& path, CCompoundNode& root, std::string& error, std::string* outerName) {
    root = CCompoundNode();
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (!ec && size > kMaxFileSize) {
        error = TooLarge(size);
        return false;
    }
    std::vector<uint8_t> bytes;
    if (!CByteReader::ReadFile(path, bytes, error)) return false;
    return ReadMemory(bytes.data(), bytes.size(), root, error, outerName);
}

bool CXqcnFile::ReadMemory(const uint8_t* data, size_t size, CCompoundNode& root, std::string& error, std::string* outerName) {
    root = CCompoundNode();
    error.clear();
    if (size > kMaxFileSize) {
        error = TooLarge(size);
        return false;
    }
    CXmlTreeReader reader;
    CCompoundNode tree;
    std::string outer;
    if (!reader.Read(QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)), tree, outer)) {
        error = reader.Error();
        return false;
    }
    root = std::move(tree);
    if (outerName) *outerName = outer;
    return true;
}

bool CXqcnFile::WriteMemory(const CCompoundNode& root, const std::string& outerName, std::vector<uint8_t>& bytes,
                            std::string& error) {
    bytes.clear();
    error.clear();
    QString body;
    QXmlStreamWriter xml(&body);
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(2);
    xml.writeStartElement(QLatin1String("Storage"));
    xml.writeAttribute(QLatin1String("Name"), QString::fromStdString(outerName));
    if (!CheckName(outerName, error) || !WriteNode(xml, root, true, 0, error)) return false;
    xml.writeEndElement();
    if (xml.hasError()) {
        error = TrText("CXqcnFile", "The XML could not be made.");
        return false;
    }
    // The writer starts with a line break of its own; the declaration line has one already.
    if (body.startsWith(QLatin1Char('\n'))) body.remove(0, 1);
    bytes.assign(kDeclaration, kDeclaration + sizeof kDeclaration - 1);
    AppendEncoded(body, bytes);
    if (bytes.back() != '\n') {
        bytes.push_back('\r');
        bytes.push_back('\n');
    }
    return true;
}

bool CXqcnFile::Write(const std::string& path, const CCompoundNode& root, std::string& error) {
    const std::string outer = QFileInfo(QString::fromStdString(path)).completeBaseName().toStdString();
    std::vector<uint8_t> bytes;
    if (!WriteMemory(root, outer.empty() ? "backup" : outer, bytes, error)) return false;
    return CSafeFileWriter::WriteWholeFile(path, bytes, error);
}
