#include "sim/sim_phone.h"

#include "phone/diag_commands.h"

#include <algorithm>

CSimPhone::CSimPhone(CSimNvStore& store, SSimPhoneOptions options) : m_store(store), m_options(std::move(options)) {}

std::optional<std::vector<uint8_t>> CSimPhone::Answer(const std::vector<uint8_t>& request, Clock::time_point now) {
    if (request.empty() || now < m_silentUntil) return std::nullopt;
    switch (request[0]) {
    case kDiagVersion:
        return BuildVersionReply();
    case kDiagEsn: {
        // The ESN is item 0; a phone without one answers zero.
        uint32_t esn = 0;
        if (const std::vector<uint8_t>* value = m_store.Find(0, CSimNvStore::kPlain))
            for (size_t i = 0; i < 4 && i < value->size(); ++i) esn |= static_cast<uint32_t>((*value)[i]) << (8 * i);
        return BuildEsnReply(esn);
    }
    case kDiagNvRead:
    case kDiagNvWrite:
        return AnswerNv(request);
    case kDiagSpc: {
        if (request.size() != 1 + kSpcCodeSize) return BuildErrorReply(kDiagBadLength, request);
        uint8_t expected[kSpcCodeSize] = {};
        std::copy_n(m_options.spcCode.begin(), std::min(m_options.spcCode.size(), kSpcCodeSize), expected);
        const bool accepted = std::equal(expected, expected + kSpcCodeSize, request.begin() + 1);
        m_spcAccepted = accepted;
        if (m_options.shortSpcReply) return std::vector<uint8_t>{kDiagSpc};
        if (!accepted) m_silentUntil = now + m_options.spcPenalty;
        return std::vector<uint8_t>{kDiagSpc, static_cast<uint8_t>(accepted ? 1 : 0)};
    }
    default:
        return BuildErrorReply(kDiagBadCommand, request);
    }
}

std::vector<uint8_t> CSimPhone::AnswerNv(const std::vector<uint8_t>& request) {
    SNvPacket packet;
    if (!ParseNvPacket(request, packet)) return BuildErrorReply(kDiagBadLength, request);
    const int id = packet.item;
    const bool array = m_store.IsArray(id);
    const int index = array ? packet.data[0] : CSimNvStore::kPlain;
    const size_t offset = array ? 1 : 0;
    const size_t capacity = kNvDataSize - offset;
    if (packet.command == kDiagNvRead) {
        if (m_options.unreadable.count(id)) return BuildErrorReply(kDiagBadParameters, request);
        if (m_options.answerForOther.count(id)) packet.item = static_cast<uint16_t>(id + 1);
        const auto forced = m_options.readStatus.find(id);
        const std::vector<uint8_t>* value = m_store.Find(id, index);
        if (forced != m_options.readStatus.end()) {
            packet.status = forced->second;
        } else if (!value) {
            packet.status = kNvNotActive;
        } else {
            std::fill(packet.data.begin() + static_cast<long>(offset), packet.data.end(), 0);
            std::copy_n(value->begin(), std::min(value->size(), capacity), packet.data.begin() + static_cast<long>(offset));
            packet.status = kNvDone;
        }
        return BuildNvPacket(packet);
    }
    if (m_options.readOnly.count(id)) {
        packet.status = kNvReadOnly;
        return BuildNvPacket(packet);
    }
    const int defined = m_store.DefinedSize(id);
    const size_t length = defined >= 0 ? std::min(static_cast<size_t>(defined), capacity) : capacity;
    const auto first = packet.data.begin() + static_cast<long>(offset);
    std::vector<uint8_t> stored(first, first + static_cast<long>(length));
    // A phone whose memory fails silently: what read-back verification is for.
    if (m_options.corruptWrites.count(id) && !stored.empty()) stored[0] ^= 0xFF;
    m_store.Put(id, index, std::move(stored));
    packet.status = kNvDone;
    return BuildNvPacket(packet);
}
