#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

class CNVItemArray;

// An item read and typed the way people write it: an IMEI's 15 digits, a MEID's 14 hex
// digits, a band preference as a list of band numbers. Each view is a pair of pure functions
// over the item's bytes; it is found by item ID or by item-file path.
//
// A view reads one value per part. Most views have one part (the record or the item file);
// the split band preference reads three records (441, 946, 2954) as one mask.
class CItemView {
public:
    enum class EKind { Imei, Meid, Bands };
    // Where a view's bits lie in one value: a mask of whole words from offset, bit k of the
    // little-endian words standing for number first + k. How many words a value holds follows
    // from its size, at most maxWords.
    struct SPart {
        int id;  // -1: the item file itself
        int offset;
        int wordBytes;
        int maxWords;
        int first;
    };
    // The bytes as this view reads them.
    struct SShown {
        bool fits = true;           // the value is long enough for the view
        bool readable = false;      // the bytes hold this view's encoding
        std::string text;           // "990016878573987 (check digit correct)", "1 3 5 7"
        std::string entry;          // the text an editor starts with
        std::string number;         // IMEI digits, MEID hex digits
        bool checkDigitOk = false;  // IMEI only
        std::vector<int> bands;     // Bands only
    };

    static const CItemView* ForId(int id);
    // A path of an item file; its subscription copies (PATH_Subscription01) too.
    static const CItemView* ForPath(std::string_view path);

    EKind Kind() const { return m_kind; }
    // "imei", "meid" or "bands": the word a CLI value starts with.
    const char* Key() const;
    // What the window's row starts with: "IMEI", "LTE bands", ...
    std::string Caption() const;
    const std::vector<SPart>& Parts() const { return m_parts; }

    // The records the view reads for the record at itemIndex of items: by part, that record
    // or the record of the part's ID of the same subscription; -1 for a part items lack.
    std::vector<int> Records(const CNVItemArray& items, int itemIndex) const;
    // values: one per part, in the order of Parts(); a part the backup lacks is empty.
    SShown Show(const std::vector<std::vector<uint8_t>>& values) const;
    // text becomes the bytes of values (every bit and byte the view does not name stays); the
    // empty string when taken, else why not, naming what would be. force takes an IMEI whose
    // check digit is wrong.
    std::string Set(std::string_view text, std::vector<std::vector<uint8_t>>& values, bool force = false) const;

    // The Luhn check digit of the first 14 digits of an IMEI.
    static int CheckDigit(std::string_view digits14);

    // file: the name of an item file the view reads (below modem/mmode/), else null.
    CItemView(EKind kind, const char* caption, std::vector<SPart> parts, const char* file = nullptr)
        : m_kind(kind), m_caption(caption), m_parts(std::move(parts)), m_file(file) {}

private:
    // The numbers the parts present in values can hold, as ranges; empty when none.
    std::vector<std::pair<int, int>> Ranges(const std::vector<std::vector<uint8_t>>& values) const;
    static int Words(const SPart& part, const std::vector<uint8_t>& value);

    EKind m_kind;
    const char* m_caption;
    std::vector<SPart> m_parts;
    const char* m_file;
};
