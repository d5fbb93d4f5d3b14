#include "sim/sim_phone.h"

#include "phone/diag_commands.h"
#include "phone/efs_commands.h"

#include <algorithm>

namespace {
// Items a phone protects until the SPC code is accepted: the ESN and the SPC code itself.
constexpr int kEsnItem = 0;
constexpr int kSpcItem = 85;
}  // namespace

CSimPhone::CSimPhone(CSimNvStore& store, SSimPhoneOptions options) : m_store(store), m_options(std::move(options)) {
    m_files.SetFailPaths(m_options.efsFail);
    m_files.SetFull(m_options.efsFull);
    m_files.SetHidden(m_options.efsHidden);
    m_files.SetUnlistable(m_options.efsUnlistable);
    m_files.SetEndless(m_options.efsEndless);
    m_files.SetLongName(m_options.efsLongName);
    m_files.SetJournalLimit(m_options.efsJournal);
    m_files.SetRefuseSync(m_options.efsRefuseSync);
    m_files.SetKeepUnsynced(m_options.efsKeepUnsynced);
}

CSimNvStore& CSimPhone::Subscription(int subscription) {
    if (subscription <= 0) return m_store;
    CSimNvStore& store = m_subscriptions[subscription - 1];
    // The definitions may be given to the first store after construction.
    if (store.Definitions().GetSize() != m_store.Definitions().GetSize()) store.SetDefinitions(m_store.Definitions());
    return store;
}

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
    case kDiagSubsystem: {
        std::vector<uint8_t> reply = AnswerSubsystem(request);
        if (m_files.TakeHang()) {
            m_silentUntil = now + m_options.hang;
            return std::nullopt;
        }
        return reply;
    }
    case kDiagMode:
        return AnswerMode(request);
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

std::vector<uint8_t> CSimPhone::AnswerSubsystem(const std::vector<uint8_t>& request) {
    if (request.size() < kSubsystemHeaderSize) return BuildErrorReply(kDiagBadLength, request);
    const uint8_t subsystem = request[1];
    if (subsystem == kSubsystemNv && m_options.subscriptions) return AnswerNv(request);
    if (subsystem != m_options.efsSubsystem || subsystem == 0) return BuildErrorReply(kDiagBadCommand, request);
    const auto command = static_cast<uint16_t>(request[2] | (request[3] << 8));
    if (command == kEfsOldPut) {
        (void)m_files.Answer(SEfsMessage{subsystem, kEfsOldPut, {}, {}, {}});  // counted, and it hangs the phone
        return {};
    }
    SEfsMessage message;
    if (!DecodeEfsRequest(request, message)) {
        return BuildErrorReply(EfsErrnoField(command) < 0 && command != kEfsHello ? kDiagBadCommand : kDiagBadLength,
                               request);
    }
    return EncodeEfsReply(m_files.Answer(message));
}

std::vector<uint8_t> CSimPhone::AnswerMode(const std::vector<uint8_t>& request) {
    if (request.size() != 3) return BuildErrorReply(kDiagBadLength, request);
    const auto mode = static_cast<uint16_t>(request[1] | (request[2] << 8));
    if (mode < kModeOffline || mode > kModeLowPower) return BuildErrorReply(kDiagBadParameters, request);
    if (mode == kModeReset) {
        // The phone starts again: online, and the SPC code must be sent anew.
        m_mode = kModeOnline;
        m_spcAccepted = false;
        m_files.Reset();
        ++m_resets;
    } else {
        m_mode = mode;
    }
    return request;
}

std::vector<uint8_t> CSimPhone::AnswerNv(const std::vector<uint8_t>& request) {
    SNvPacket packet;
    if (!ParseNvPacket(request, packet)) return BuildErrorReply(kDiagBadLength, request);
    if (packet.subscription >= kSubscriptions) {
        packet.status = kNvBadParameter;
        return BuildNvPacket(packet);
    }
    CSimNvStore& store = Subscription(packet.subscription);
    const int id = packet.item;
    const bool array = store.IsArray(id);
    const int index = array ? packet.data[0] : CSimNvStore::kPlain;
    const size_t offset = array ? 1 : 0;
    const size_t capacity = kNvDataSize - offset;
    if (packet.command == kDiagNvRead) {
        if (m_options.unreadable.count(id)) return BuildErrorReply(kDiagBadParameters, request);
        if (m_options.answerForOther.count(id)) packet.item = static_cast<uint16_t>(id + 1);
        const auto forced = m_options.readStatus.find(id);
        const std::vector<uint8_t>* value = store.Find(id, index);
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
    if ((id == kEsnItem || id == kSpcItem) && !m_spcAccepted) return BuildErrorReply(kDiagSpcLocked, request);
    const int count = store.DefinedCount(id);
    if (array && count > 0 && index >= count) {
        packet.status = kNvBadParameter;
        return BuildNvPacket(packet);
    }
    if (m_options.readOnly.count(id)) {
        packet.status = kNvReadOnly;
        return BuildNvPacket(packet);
    }
    // The defined size, or more when the data holds more: a phone may know a newer, longer
    // layout of the item than the definitions do.
    const auto first = packet.data.begin() + static_cast<long>(offset);
    // An item the definitions do not know keeps the size the phone gave it; a new one takes
    // all the bytes.
    const std::vector<uint8_t>* before = store.Find(id, index);
    const int defined = store.DefinedSize(id) >= 0 ? store.DefinedSize(id) : before ? static_cast<int>(before->size()) : -1;
    size_t held = capacity;
    while (held > 0 && first[static_cast<long>(held) - 1] == 0) --held;
    const size_t length = defined >= 0 ? std::min(std::max(static_cast<size_t>(defined), held), capacity) : capacity;
    std::vector<uint8_t> stored(first, first + static_cast<long>(length));
    // A phone whose memory fails silently: what read-back verification is for.
    if (m_options.corruptWrites.count(id) && !stored.empty()) stored[0] ^= 0xFF;
    store.Put(id, index, std::move(stored));
    m_files.CountWrite();
    packet.status = kNvDone;
    return BuildNvPacket(packet);
}
