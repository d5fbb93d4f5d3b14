#pragma once
#include "model/nv_item_array.h"
#include "sim/sim_phone.h"
#include "sim/sim_pty_server.h"

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;
// Record values by ID and index.
using Values = std::map<std::pair<int, int>, Bytes>;

// A simulated phone served on a pseudo-terminal for the length of a test.
struct SSimOnPty {
    explicit SSimOnPty(const CNVItemArray& defs, SSimPhoneOptions options = {}, SSimLineOptions line = {})
        : phone(store, std::move(options)), server(phone, line) {
        store.SetDefinitions(defs);
    }
    bool Start() {
        std::string error;
        if (!server.Open(error)) return false;
        server.Start();
        return true;
    }
    Values Stored() const {
        CNVItemArray records;
        store.ExportRecords(records);
        Values values;
        for (const CNVItem& record : records) values[{record.Id(), record.Index()}] = record.Value();
        return values;
    }
    CSimNvStore store;
    CSimPhone phone;
    CSimPtyServer server;
};
