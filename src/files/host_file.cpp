#include "files/host_file.h"

#include "jobs/text_translation.h"
#include "model/input_file.h"

#include <ctime>

bool ReadHostFile(const std::string& path, size_t limit, std::vector<uint8_t>& data, std::string& error) {
    data.clear();
    CInputFile file;
    if (file.Open(path, limit) && file.ReadAll(data)) return true;
    error = FillText(TrText("CHostFile", "Can't read %1: %2"), {path, file.Error()});
    return false;
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
