#include "clientfiles/radar_colors.h"

#include <algorithm>
#include <cctype>
#include <string>
#include <system_error>

#include "clientfiles/byte_order.h"

namespace kestrel {

RadarColors::RadarColors(std::span<const std::uint8_t> bytes) {
    colors.resize(bytes.size() / kRadarColorBytes);
    for (std::size_t at = 0; at < colors.size(); ++at) {
        colors[at] = WidenRgb555(LoadU16Le(bytes.data() + at * kRadarColorBytes));
    }
}

std::optional<std::filesystem::path> FindRadarColorsBeside(const std::filesystem::path& mapPath) {
    std::filesystem::path directory = mapPath.parent_path();
    if (directory.empty()) {
        directory = ".";
    }
    const std::string wanted = kRadarColorsName;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(directory, error), end;
         !error && entry != end; entry.increment(error)) {
        std::string name = entry->path().filename().string();
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) {
            return static_cast<char>(std::tolower(c));
        });
        std::error_code statusError;
        if (name == wanted && entry->is_regular_file(statusError)) {
            return entry->path();
        }
    }
    return std::nullopt;
}

}  // namespace kestrel
