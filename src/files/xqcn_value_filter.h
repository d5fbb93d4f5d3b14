#pragma once
#include <QIODevice>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// Stands between an .xqcn file and the XML reader and takes the hex text of every Value
// attribute of a <Stream> out of the way: the bytes are decoded here as the text passes, and
// the reader sees Value='#n' in its place. The one attribute of a big stream (three
// characters per byte, twice that once the XML reader holds it as UTF-16) so never sits in
// memory as text. The rest of the markup passes unchanged; comments, processing
// instructions and CDATA are skipped over as such.
class CXqcnValueFilter : public QIODevice {
public:
    explicit CXqcnValueFilter(QIODevice& source);

    // The bytes of the value the reader saw as text; false when text is not the next
    // placeholder or the value was not hex bytes (two digits each, whitespace between).
    bool Take(QStringView text, std::vector<uint8_t>& bytes);

    // No name, attribute, comment or text between elements is longer: text that never ends
    // stops the reading here, before the XML reader holds it.
    static constexpr size_t kMaxMarkup = 64 * 1024;
    // True once such a piece was met; the reader then sees the input end.
    bool TooLong() const { return m_tooLong; }

    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override;

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    enum class EState { Text, Open, Bang, Skip, TagName, Tag, AttrName, AfterName, AfterEq, Value };
    struct SValue {
        std::vector<uint8_t> bytes;
        bool ok = true;
    };

    void Feed(char c);
    void Emit(char c) { m_out.push_back(c); }
    void HexDigit(char c);

    QIODevice& m_source;
    std::string m_out;  // filtered text not yet read
    size_t m_outPos = 0;
    EState m_state = EState::Text;
    std::string m_word;         // a tag's or attribute's name, or what follows "<!"
    std::string m_skipUntil;    // the end of a comment, instruction, CDATA or declaration
    std::string m_tail;         // the last characters seen while skipping
    bool m_inStream = false;    // inside a <Stream ...> start tag
    char m_quote = 0;
    bool m_capture = false;
    int m_digits = 0;           // hex digits of the current byte
    std::deque<SValue> m_values;
    uint64_t m_given = 0, m_taken = 0;
    size_t m_run = 0;  // characters fed without the state changing, values left out
    bool m_tooLong = false;
};
