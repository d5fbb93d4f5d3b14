#include "files/safe_file_writer.h"

#include "model/crc16.h"
#include "jobs/text_translation.h"

#include <QFile>
#include <QSaveFile>

namespace {
constexpr size_t kBufferSize = 1 << 16;
}

CSafeFileWriter::CSafeFileWriter() = default;

CSafeFileWriter::~CSafeFileWriter() { Cancel(); }

bool CSafeFileWriter::Open(const std::string& path) {
    Cancel();
    m_path = path;
    m_error.clear();
    m_crc = 0;
    m_written = 0;
    m_buffer.clear();
    m_buffer.reserve(kBufferSize);
    m_file = std::make_unique<QSaveFile>(QFile::decodeName(path.c_str()));
    if (!m_file->open(QIODevice::WriteOnly)) {
        SetError(m_file->errorString().toStdString());
        m_file.reset();
        return false;
    }
    return true;
}

bool CSafeFileWriter::IsOpen() const { return m_file != nullptr; }

void CSafeFileWriter::SetError(const std::string& what) {
    if (m_error.empty()) m_error = what.empty() ? TrText("CSafeFileWriter", "write error") : what;
}

bool CSafeFileWriter::Flush() {
    if (!m_file) return false;
    size_t done = 0;
    while (done < m_buffer.size()) {
        const qint64 n = m_file->write(reinterpret_cast<const char*>(m_buffer.data()) + done,
                                       static_cast<qint64>(m_buffer.size() - done));
        if (n <= 0) {
            SetError(m_file->errorString().toStdString());
            m_buffer.clear();
            return false;
        }
        done += static_cast<size_t>(n);
    }
    m_buffer.clear();
    return true;
}

bool CSafeFileWriter::Write(const void* data, size_t n) {
    if (!m_file || Failed()) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    m_crc = Crc16(bytes, n, m_crc);
    m_written += n;
    if (m_buffer.size() + n > kBufferSize && !Flush()) return false;
    if (n >= kBufferSize) {
        m_buffer.assign(bytes, bytes + n);
        return Flush();
    }
    m_buffer.insert(m_buffer.end(), bytes, bytes + n);
    return true;
}

bool CSafeFileWriter::WriteU16(uint16_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>(value >> 8)};
    return Write(b, 2);
}

bool CSafeFileWriter::WriteU32(uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value & 0xFF), static_cast<uint8_t>((value >> 8) & 0xFF),
                          static_cast<uint8_t>((value >> 16) & 0xFF), static_cast<uint8_t>(value >> 24)};
    return Write(b, 4);
}

bool CSafeFileWriter::Commit() {
    if (!m_file) {
        SetError(TrText("CSafeFileWriter", "the file is not open"));
        return false;
    }
    if (!Failed()) Flush();
    if (Failed()) {
        Cancel();
        return false;
    }
    const bool ok = m_file->commit();
    if (!ok) SetError(m_file->errorString().toStdString());
    m_file.reset();
    return ok;
}

void CSafeFileWriter::Cancel() {
    if (!m_file) return;
    m_file->cancelWriting();
    m_file.reset();  // a save file destroyed without commit removes its temporary file
    m_buffer.clear();
}

bool CSafeFileWriter::WriteWholeFile(const std::string& path, const std::vector<uint8_t>& bytes, std::string& error) {
    CSafeFileWriter writer;
    if (writer.Open(path) && writer.Write(bytes) && writer.Commit()) return true;
    error = writer.Error().empty() ? TrText("CSafeFileWriter", "The file could not be written.") : writer.Error();
    writer.Cancel();
    return false;
}
