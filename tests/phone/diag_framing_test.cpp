#include "phone/diag_commands.h"
#include "phone/diag_frame_decoder.h"
#include "phone/diag_framing.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>

namespace {
using Bytes = std::vector<uint8_t>;

Bytes Hex(const std::string& text) {
    Bytes out;
    for (size_t i = 0; i + 1 < text.size();) {
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        out.push_back(static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16)));
        i += 2;
    }
    return out;
}

Bytes Escaped(const Bytes& in) {
    Bytes out;
    AppendDiagEscaped(out, in.data(), in.size());
    return out;
}

Bytes NvReadRequest178() {
    Bytes request;
    EXPECT_TRUE(BuildNvRequest(kDiagNvRead, 178, -1, nullptr, 0, request));
    return request;
}

std::vector<Bytes> DecodeAll(const Bytes& wire, CDiagFrameDecoder& decoder) {
    decoder.Feed(wire.data(), wire.size());
    std::vector<Bytes> frames;
    Bytes frame;
    while (decoder.PopFrame(frame)) frames.push_back(frame);
    return frames;
}
}  // namespace

TEST(DiagFraming, CrcCheckValue) {
    const std::string check = "123456789";
    EXPECT_EQ(DiagCrc(reinterpret_cast<const uint8_t*>(check.data()), check.size()), 0x906E);
}

TEST(DiagFraming, PublishedVectors) {
    EXPECT_EQ(EncodeDiagFrame(Hex("4B 05 08 00"), false), Hex("4B 05 08 00 01 DD 7E"));
    EXPECT_EQ(EncodeDiagFrame(Hex("01 02 03 04"), true), Hex("7E 01 02 03 04 91 39 7E"));
    EXPECT_EQ(EncodeDiagFrame(Hex("01 02 03 7E 04 7D 05 06 7E 07"), true),
              Hex("7E 01 02 03 7D 5E 04 7D 5D 05 06 7D 5E 07 D6 16 7E"));
    EXPECT_EQ(Escaped(Hex("6E 7E 7E 7E 7D 7D 7E 7D 7E 7D 7E 6E")),
              Hex("6E 7D 5E 7D 5E 7D 5E 7D 5D 7D 5D 7D 5E 7D 5D 7D 5E 7D 5D 7D 5E 6E"));
    EXPECT_EQ(EncodeDiagFrame(BuildVersionRequest(), false), Hex("00 78 F0 7E"));
    const uint8_t code[6] = {'0', '0', '0', '0', '0', '0'};
    EXPECT_EQ(EncodeDiagFrame(BuildSpcRequest(code), false), Hex("41 30 30 30 30 30 30 DF 8A 7E"));

    const Bytes read178 = NvReadRequest178();
    ASSERT_EQ(read178.size(), 133u);
    EXPECT_EQ(read178[0], 0x26);
    EXPECT_EQ(read178[1], 0xB2);
    EXPECT_EQ(DiagCrc(read178.data(), read178.size()), 0x6D69);
    const Bytes wire = EncodeDiagFrame(read178, false);
    EXPECT_EQ(Bytes(wire.end() - 3, wire.end()), Hex("69 6D 7E"));
}

TEST(DiagFraming, CrcBytesAreEscapedToo) {
    // Search a payload whose CRC holds a flag or an escape byte and check the round trip.
    for (uint8_t b = 0; b < 255; ++b) {
        const Bytes payload{0x26, b};
        const uint16_t crc = DiagCrc(payload.data(), payload.size());
        const bool special = (crc & 0xFF) == 0x7E || (crc & 0xFF) == 0x7D || (crc >> 8) == 0x7E || (crc >> 8) == 0x7D;
        if (!special) continue;
        const Bytes wire = EncodeDiagFrame(payload, false);
        EXPECT_EQ(std::count(wire.begin(), wire.end(), kDiagFlag), 1) << int(b);
        CDiagFrameDecoder decoder;
        const auto frames = DecodeAll(wire, decoder);
        ASSERT_EQ(frames.size(), 1u);
        EXPECT_EQ(frames[0], payload);
        return;
    }
    FAIL() << "no payload with a special CRC byte found";
}

TEST(DiagFrameDecoder, WithAndWithoutLeadingFlagAndEmptyFrames) {
    const Bytes a = Hex("01 02 03 7E 04 7D 05 06 7E 07");
    const Bytes b = NvReadRequest178();
    Bytes wire = EncodeDiagFrame(a, true);
    const Bytes second = EncodeDiagFrame(b, false);
    wire.insert(wire.end(), second.begin(), second.end());
    wire.push_back(kDiagFlag);
    wire.push_back(kDiagFlag);
    CDiagFrameDecoder decoder;
    const auto frames = DecodeAll(wire, decoder);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], a);
    EXPECT_EQ(frames[1], b);
    EXPECT_EQ(decoder.DroppedFrames(), 0u);
}

TEST(DiagFrameDecoder, DropsBadFramesAndKeepsGoodOnes) {
    const Bytes good = Hex("26 01 02 03");
    Bytes badCrc = EncodeDiagFrame(good, false);
    badCrc[1] ^= 0x01;
    const Bytes tooShort = Hex("26 7E");                     // command without CRC
    const Bytes badEscape = Hex("26 01 7D 7E");              // escape right before the flag
    Bytes overlong(kDiagMaxFrame + 10, 0x11);               // noise without any flag
    overlong.push_back(kDiagFlag);
    Bytes wire;
    for (const Bytes* part : std::vector<const Bytes*>{&badCrc, &tooShort, &badEscape, &overlong}) {
        wire.insert(wire.end(), part->begin(), part->end());
        const Bytes frame = EncodeDiagFrame(good, false);
        wire.insert(wire.end(), frame.begin(), frame.end());
    }
    CDiagFrameDecoder decoder;
    const auto frames = DecodeAll(wire, decoder);
    ASSERT_EQ(frames.size(), 4u);
    for (const auto& f : frames) EXPECT_EQ(f, good);
    EXPECT_EQ(decoder.DroppedFrames(), 4u);
}

TEST(DiagFrameDecoder, ByteByByteAndRandomSplitsGiveTheSameFrames) {
    std::mt19937 rng(7);
    std::vector<Bytes> payloads;
    Bytes wire;
    for (int i = 0; i < 40; ++i) {
        Bytes p(1 + rng() % 140);
        for (auto& b : p) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0x7E - rng() % 2 : rng());
        payloads.push_back(p);
        const Bytes frame = EncodeDiagFrame(p, i % 2 == 0);
        wire.insert(wire.end(), frame.begin(), frame.end());
        if (i % 5 == 0) {  // noise closed by a flag, as garbage on the line arrives
            for (int k = 0; k < 9; ++k) wire.push_back(static_cast<uint8_t>(rng() % 0x7D));
            wire.push_back(kDiagFlag);
        }
    }
    for (int round = 0; round < 30; ++round) {
        CDiagFrameDecoder decoder;
        std::vector<Bytes> frames;
        size_t at = 0;
        while (at < wire.size()) {
            const size_t n = round == 0 ? 1 : std::min<size_t>(wire.size() - at, 1 + rng() % 300);
            decoder.Feed(wire.data() + at, n);
            at += n;
            Bytes f;
            while (decoder.PopFrame(f)) frames.push_back(f);
        }
        ASSERT_EQ(frames, payloads) << "round " << round;
    }
}

TEST(DiagCommands, NvRequestsAndReplyClassification) {
    Bytes request;
    const uint8_t value[3] = {0xAA, 0xBB, 0xCC};
    ASSERT_TRUE(BuildNvRequest(kDiagNvWrite, 0x1234, 5, value, 3, request));
    SNvPacket packet;
    ASSERT_TRUE(ParseNvPacket(request, packet));
    EXPECT_EQ(packet.command, kDiagNvWrite);
    EXPECT_EQ(packet.item, 0x1234);
    EXPECT_EQ(request[1], 0x34);  // little-endian
    EXPECT_EQ(packet.data[0], 5);
    EXPECT_EQ(packet.data[1], 0xAA);
    EXPECT_EQ(packet.data[3], 0xCC);
    EXPECT_EQ(packet.status, 0);

    Bytes full(128, 1);
    EXPECT_TRUE(BuildNvRequest(kDiagNvWrite, 1, -1, full.data(), 128, request));
    EXPECT_FALSE(BuildNvRequest(kDiagNvWrite, 1, 0, full.data(), 128, request));  // index takes a byte
    EXPECT_FALSE(BuildNvRequest(kDiagNvRead, 1, 256, nullptr, 0, request));
    EXPECT_FALSE(ParseNvPacket(Bytes(132), packet));

    const Bytes read = NvReadRequest178();
    EXPECT_EQ(ClassifyReply(read, read), EDiagReplyKind::kAnswer);
    EXPECT_EQ(ClassifyReply(read, BuildErrorReply(kDiagBadParameters, read)), EDiagReplyKind::kError);
    EXPECT_EQ(ClassifyReply(read, Bytes{kDiagBadLength}), EDiagReplyKind::kError);
    EXPECT_EQ(ClassifyReply(read, BuildErrorReply(kDiagBadCommand, BuildVersionRequest())),
              EDiagReplyKind::kUnrelated);
    EXPECT_EQ(ClassifyReply(read, Hex("10 00 01")), EDiagReplyKind::kUnrelated);  // log traffic
    EXPECT_EQ(BuildVersionReply().size(), kDiagVersionReplySize);
}
