#pragma once
// A phone in memory that answers from a script: the requests the link must send, and the
// bytes that come back on the line for each.
#include "phone/diag_frame_decoder.h"
#include "phone/diag_framing.h"
#include "phone/diag_link.h"
#include "phone/efs_client.h"
#include "phone/serial_transport.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace scripted {
using Bytes = std::vector<uint8_t>;

// "4B 13 'ab' 00*3": hex bytes, quoted text without its zero, and repeats of one byte.
inline Bytes Hex(const std::string& text) {
    Bytes out;
    for (size_t i = 0; i < text.size();) {
        if (text[i] == ' ') {
            ++i;
        } else if (text[i] == '\'') {
            const size_t end = text.find('\'', i + 1);
            out.insert(out.end(), text.begin() + static_cast<long>(i) + 1, text.begin() + static_cast<long>(end));
            i = end + 1;
        } else {
            const auto byte = static_cast<uint8_t>(std::stoi(text.substr(i, 2), nullptr, 16));
            i += 2;
            size_t times = 1;
            if (i < text.size() && text[i] == '*') {
                size_t used = 0;
                times = std::stoul(text.substr(i + 1), &used);
                i += 1 + used;
            }
            out.insert(out.end(), times, byte);
        }
    }
    return out;
}

// What the phone sends for one request: pieces split by '|', each a payload in Hex() that
// goes framed, "raw:" bytes as they are, "half:" the first half of a payload's frame,
// "then:" a payload framed that has come by the next request but that the link's read of
// this one does not see, or "late:" one that comes only after the link gave up waiting.
struct SWire {
    Bytes now, then, late;
};
inline SWire Wire(const std::string& pieces) {
    SWire wire;
    for (size_t start = 0; start <= pieces.size();) {
        size_t end = pieces.find('|', start);
        if (end == std::string::npos) end = pieces.size();
        std::string piece = pieces.substr(start, end - start);
        start = end + 1;
        piece.erase(0, piece.find_first_not_of(' '));
        if (piece.empty()) continue;
        const auto framed = [](const std::string& hex) { return EncodeDiagFrame(Hex(hex), false); };
        if (piece.rfind("raw:", 0) == 0) {
            const Bytes raw = Hex(piece.substr(4));
            wire.now.insert(wire.now.end(), raw.begin(), raw.end());
        } else if (piece.rfind("half:", 0) == 0) {
            const Bytes frame = framed(piece.substr(5));
            wire.now.insert(wire.now.end(), frame.begin(), frame.begin() + static_cast<long>(frame.size() / 2));
        } else if (piece.rfind("then:", 0) == 0) {
            const Bytes frame = framed(piece.substr(5));
            wire.then.insert(wire.then.end(), frame.begin(), frame.end());
        } else if (piece.rfind("late:", 0) == 0) {
            const Bytes frame = framed(piece.substr(5));
            wire.late.insert(wire.late.end(), frame.begin(), frame.end());
        } else {
            const Bytes frame = framed(piece);
            wire.now.insert(wire.now.end(), frame.begin(), frame.end());
        }
    }
    return wire;
}

// A line in memory: the requests written are decoded, and the phone's bytes wait in pending
// until read; a flush drops them.
class CMemoryLine : public ISerialTransport {
public:
    bool Open(const std::string&, std::string&) override { return true; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    void DiscardInput() override { m_pending.clear(); }

protected:
    // Moves what is pending into buffer: the count, 0 when nothing is.
    long TakePending(uint8_t* buffer, size_t size) {
        const size_t n = std::min(size, m_pending.size());
        std::copy_n(m_pending.begin(), n, buffer);
        m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<long>(n));
        return static_cast<long>(n);
    }

    CDiagFrameDecoder m_decoder;  // of the requests
    Bytes m_pending;
};

// Answers each request with the next exchange of the script and notes every request that
// differs from it. A read with nothing to give is the link's timeout, after which the late
// bytes arrive.
class CScriptedPhone : public CMemoryLine {
public:
    std::deque<std::pair<Bytes, SWire>> script;
    std::vector<std::string> wrong;

    void Add(const std::string& request, const std::string& reply) { script.emplace_back(Hex(request), Wire(reply)); }

    bool Write(const uint8_t* bytes, size_t length, Clock::time_point, std::string&) override {
        m_decoder.Feed(bytes, length);
        Bytes request;
        while (m_decoder.PopFrame(request)) {
            if (script.empty()) {
                wrong.push_back("unexpected request of " + std::to_string(request.size()) + " bytes");
                continue;
            }
            if (request != script.front().first)
                wrong.push_back("request " + std::to_string(m_count) + " differs from the script");
            const SWire& wire = script.front().second;
            m_pending.insert(m_pending.end(), wire.now.begin(), wire.now.end());
            m_then.insert(m_then.end(), wire.then.begin(), wire.then.end());
            m_late.insert(m_late.end(), wire.late.begin(), wire.late.end());
            script.pop_front();
            ++m_count;
        }
        return true;
    }
    long Read(uint8_t* buffer, size_t size, Clock::time_point, std::string&) override {
        const long n = TakePending(buffer, size);
        // What came while the link did not read is there for its next read.
        m_pending.insert(m_pending.end(), m_then.begin(), m_then.end());
        m_then.clear();
        if (n == 0) {
            m_pending.insert(m_pending.end(), m_late.begin(), m_late.end());
            m_late.clear();
        }
        return n;  // 0: the phone said nothing more in time
    }
    void DiscardInput() override {
        CMemoryLine::DiscardInput();
        m_then.clear();
    }

private:
    Bytes m_then, m_late;
    int m_count = 0;
};
// One script: the exchanges, what to do over the link, and what that must give (a part of it).
struct SScript {
    const char* name;
    std::vector<std::pair<std::string, std::string>> exchanges;
    std::function<std::string(CDiagLink&, CEfsClient&)> call;
    std::string expected;
};

// Each script on a link of its own: the call gives what it must, with every request as the
// script has it and none left over.
inline void RunScripts(const std::vector<SScript>& scripts) {
    for (const SScript& row : scripts) {
        auto owned = std::make_unique<CScriptedPhone>();
        CScriptedPhone& phone = *owned;
        for (const auto& [request, reply] : row.exchanges) phone.Add(request, reply);
        auto link = std::make_shared<CDiagLink>(std::move(owned));
        ASSERT_TRUE(link->Open("scripted"));
        CEfsClient efs(link);
        EXPECT_THAT(row.call(*link, efs), ::testing::HasSubstr(row.expected)) << row.name;
        EXPECT_TRUE(phone.wrong.empty()) << row.name << ": " << phone.wrong.front();
        EXPECT_TRUE(phone.script.empty()) << row.name << ": " << phone.script.size() << " exchanges left";
    }
}
}  // namespace scripted
