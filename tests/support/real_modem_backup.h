#pragma once
// A backup as a phone's own tools make it, for the tests of the whole phone against a
// simulated modem that behaves as real ones do.
#include "files/numbered_backup.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace RealModem {
using Bytes = std::vector<uint8_t>;

inline Bytes Pattern(size_t size, int seed) {
    Bytes data(size);
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<uint8_t>(i * 13 + seed * 7 + 1);
    return data;
}

// A backup as a phone's own tools make it: 60 records (10 of defined items, 50 the
// definitions do not name, up to ID 6950) and 67 files in the three file areas, band
// preferences, calibration files up to 20 KB, provisioning files and regular files.
inline SNumberedBackup RealisticBackup() {
    SNumberedBackup backup;
    backup.hasStream = {true, true, true};
    const auto add = [&](uint32_t id, int index, Bytes value) {
        SNumberedRecord r;
        r.id = id;
        const size_t at = index >= 0 ? 1 : 0;
        if (index >= 0) r.data[0] = static_cast<uint8_t>(index);
        std::copy(value.begin(), value.end(), r.data.begin() + static_cast<long>(at));
        backup.records.push_back(r);
    };
    for (uint32_t id : {10u, 30u, 31u, 40u, 50u}) add(id, -1, Pattern(4, static_cast<int>(id)));
    for (int i = 0; i < 3; ++i) add(20, i, Pattern(2, 20 + i));
    for (int i = 0; i < 2; ++i) add(60, i, Pattern(1, 60 + i));
    for (uint32_t k = 0; k < 50; ++k) add(100 + k * 139, -1, Pattern(128, static_cast<int>(k)));

    const char* const bands[] = {"lte_bandpref", "lte_bandpref_extn_65_256", "nr_band_pref", "nr_nsa_band_pref",
                                 "nr5g_bandpref", "tds_bandpref", "voice_domain_pref", "sms_domain_pref"};
    const size_t bandSizes[] = {8, 24, 64, 64, 32, 8, 1, 1};
    for (size_t i = 0; i < std::size(bands); ++i)
        backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[0], std::string("/nv/item_files/modem/mmode/") + bands[i],
                                                Pattern(bandSizes[i], static_cast<int>(i))));
    for (int i = 0; i < 40; ++i) {
        char path[64];
        std::snprintf(path, sizeof path, "/nv/item_files/rfnv/%08d", 20000 + i * 7);
        backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[0], path, Pattern(200 + 130 * static_cast<size_t>(i), i)));
    }
    // Calibration files larger than one put request.
    backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[0], "/nv/item_files/rfnv/00024000", Pattern(8 * 1024, 1)));
    backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[0], "/nv/item_files/rfnv/00024001", Pattern(20 * 1024, 2)));
    for (int i = 0; i < 10; ++i)
        backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[1], "/nv/item_files/ims/setting_" + std::to_string(i),
                                                Pattern(16 + static_cast<size_t>(i), 40 + i)));
    for (int i = 0; i < 7; ++i)
        backup.itemFiles.push_back(MakeItemFile(Numbered::kAreas[2], "/policyman/rule_" + std::to_string(i) + ".xml",
                                                Pattern(300, 50 + i), i == 0 ? 0100600u : 0100644u));
    return backup;
}
}  // namespace RealModem
