#include "files/host_file.h"

#include "jobs/text_translation.h"

#include <ctime>
#include <fstream>

bool ReadHostFile(const std::string& path, size_t limit, std::vector<uint8_t>& data, std::string& error) {
    data.clear();
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in) {
        error = FillText(TrText("CHostFile", "Can't open %1."), {path});
        return false;
    }
    const std::streamoff size = in.tellg();
    if (size < 0 || static_cast<uint64_t>(size) > limit) {
        error = FillText(TrText("CHostFile", "%1 is larger than %2 bytes."), {path, std::to_string(limit)});
        return false;
    }
    data.resize(static_cast<size_t>(size));
    in.seekg(0);
    if (!in.read(reinterpret_cast<char*>(data.data()), size)) {
        data.clear();
        error = FillText(TrText("CHostFile", "Can't read %1."), {path});
        return false;
    }
    return true;
}

std::string FileTimeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    return stamp;
}
