// One value against one type: bytes to texts, and typed texts back to bytes.
// Input: a type name, a NUL, a value's bytes, a NUL, a text typed into the cells.
#include "fuzz_support.h"
#include "model/nv_field.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view input = AsText(data, size);
    const size_t typeEnd = input.find('\0');
    if (typeEnd == std::string_view::npos) return 0;
    const size_t valueEnd = input.find('\0', typeEnd + 1);
    const std::string type(input.substr(0, typeEnd));
    const std::string_view value = input.substr(typeEnd + 1, valueEnd == std::string_view::npos ? valueEnd : valueEnd - typeEnd - 1);
    const std::string typed(valueEnd == std::string_view::npos ? std::string_view() : input.substr(valueEnd + 1));

    CNVField field;
    field.SetType(type);
    if (field.Size() < 0 || field.Size() > CNVField::kMaxTextLength * 4) return 0;
    std::vector<uint8_t> bytes(static_cast<size_t>(field.Size()), 0);
    std::copy_n(value.begin(), std::min(value.size(), bytes.size()), bytes.begin());
    field.SetBytes(bytes.data());
    FUZZ_CHECK(field.Bytes() == bytes);  // formatting never changes the bytes

    // A number's texts read back to the same bytes (texts end at a zero, booleans show
    // any non-zero byte as TRUE: those are lossy by design).
    const bool number = type.find('[') == std::string::npos && CNVField::DataTypeSize(type) > 0 && type != "boolean";
    if (number) {
        const std::string dec = field.DecText(), hex = field.HexText();
        field.SetHexText(hex);
        FUZZ_CHECK(field.Bytes() == bytes);
        field.SetDecText(dec);
        FUZZ_CHECK(field.Bytes() == bytes);
    }

    field.SetDecText(typed);
    FUZZ_CHECK(static_cast<int>(field.Bytes().size()) == field.Size());
    field.SetHexText(typed);
    FUZZ_CHECK(static_cast<int>(field.Bytes().size()) == field.Size());
    return 0;
}
