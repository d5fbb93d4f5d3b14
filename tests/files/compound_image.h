#pragma once
// Editing a compound file's bytes in place, to make the damage a reader must refuse.
#include "files/compound_format.h"

#include <cstdint>
#include <string>
#include <vector>

class CCompoundImage {
public:
    explicit CCompoundImage(std::vector<uint8_t> image) : bytes(std::move(image)) {
        for (uint32_t s = Header(Cfb::Header::kFirstDir); s < Cfb::kMaxRegular && m_dir.size() < 1u << 20; s = Fat(s))
            m_dir.push_back(s);
    }

    uint32_t Header(size_t offset) const { return Cfb::GetU32(&bytes[offset]); }
    void SetHeader(size_t offset, uint32_t v) { Cfb::SetU32(&bytes[offset], v); }
    size_t SectorOffset(uint32_t sector) const { return (size_t{sector} + 1) * 512; }
    // FAT entries through the header's list of FAT sectors: files up to about 7 MB.
    uint32_t Fat(uint32_t sector) const { return Cfb::GetU32(&bytes[FatOffset(sector)]); }
    void SetFat(uint32_t sector, uint32_t next) { Cfb::SetU32(&bytes[FatOffset(sector)], next); }

    // The directory entry of that name (the first of several), or of that number.
    size_t Entry(const std::string& name) const {
        const std::u16string wanted = Cfb::ToUtf16(name);
        for (uint32_t id = 0;; ++id) {
            const size_t at = Entry(id);
            if (at == 0) return 0;
            const size_t units = Cfb::GetU16(&bytes[at + Cfb::Entry::kNameLength]) / 2;
            std::u16string found;
            for (size_t i = 0; i + 1 < units; ++i) found += static_cast<char16_t>(Cfb::GetU16(&bytes[at + 2 * i]));
            if (found == wanted) return at;
        }
    }
    // The directory as it was when the image was made.
    size_t Entry(uint32_t id) const {
        return id / 4 < m_dir.size() ? SectorOffset(m_dir[id / 4]) + (id % 4) * Cfb::kEntrySize : 0;
    }
    uint32_t Field(const std::string& name, size_t field) const { return Cfb::GetU32(&bytes[Entry(name) + field]); }
    void SetField(const std::string& name, size_t field, uint32_t v) { Cfb::SetU32(&bytes[Entry(name) + field], v); }
    void Rename(const std::string& from, const std::string& to) {
        const size_t at = Entry(from);
        const std::u16string name = Cfb::ToUtf16(to);
        std::fill(&bytes[at], &bytes[at + 64], 0);
        for (size_t i = 0; i < name.size(); ++i) Cfb::SetU16(&bytes[at + 2 * i], name[i]);
        Cfb::SetU16(&bytes[at + Cfb::Entry::kNameLength], static_cast<uint16_t>(2 * name.size() + 2));
    }

    std::vector<uint8_t> bytes;

private:
    size_t FatOffset(uint32_t sector) const {
        return SectorOffset(Header(Cfb::Header::kDifat + 4 * (sector / 128))) + 4 * (sector % 128);
    }
    std::vector<uint32_t> m_dir;
};
