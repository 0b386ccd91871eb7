#include "operations/client_file_info.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <limits>
#include <system_error>

#include "clientfiles/byte_source.h"
#include "clientfiles/client_file_error.h"
#include "clientfiles/statics_file.h"
#include "clientfiles/uop_file.h"

namespace kestrel {

namespace {

std::string LowerName(const std::string& path) {
    std::string name = std::filesystem::path(path).filename().string();
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return name;
}

std::string SizeText(const MapGeometry& geometry) {
    return std::to_string(geometry.width) + " x " + std::to_string(geometry.height);
}

// The statics data beside an index: its name with "staidx" turned into
// "statics" in the same case.
std::optional<std::uint64_t> DataBesideIndex(const std::string& path) {
    const std::filesystem::path index(path);
    const std::string name = index.filename().string();
    const bool upper = !name.empty() && std::isupper(static_cast<unsigned char>(name[0]));
    const std::filesystem::path data =
        index.parent_path() / ((upper ? "STATICS" : "statics") + name.substr(6));
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(data, error);
    if (error) {
        return std::nullopt;
    }
    return size;
}

[[noreturn]] void CannotTell(const std::string& path, const std::string& why) {
    throw ClientFileError(path + ": " + why);
}

void RequireSize(const ClientFileDescription& description, const char* what) {
    if (description.detection.match == SizeMatch::Unknown) {
        CannotTell(description.path, std::string("a ") + what + " of " +
                                         std::to_string(description.fileBytes) +
                                         " bytes, the size of no known map.");
    }
}

}  // namespace

ClientFileDescription DescribeClientFile(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        CannotTell(path, "no such file.");
    }
    if (error || !std::filesystem::is_regular_file(status)) {
        CannotTell(path, "not a regular file.");
    }
    ReadOnlyFileSource source(path);
    if (!source.IsOpen()) {
        CannotTell(path, "cannot be read.");
    }

    ClientFileDescription description;
    description.path = path;
    description.fileBytes = source.Length();
    const std::string name = LowerName(path);
    const std::optional<int> named = MapNumberFromFileName(path);

    const auto describeMap = [&] {
        description.kind = ClientFileKind::Map;
        description.detection = DetectMap(source, path);
        description.container = description.detection.container;
        RequireSize(description, "map");
    };
    const auto describeIndex = [&] {
        description.kind = ClientFileKind::StaticsIndex;
        description.detection = MatchStaticsIndexSize(description.fileBytes, named);
        RequireSize(description, "statics index");
        const std::optional<std::uint64_t> dataBytes = DataBesideIndex(path);
        description.checkedAgainstData = dataBytes.has_value();
        const StaticItemCount count =
            CountStaticItems(source, description.detection.geometry,
                             dataBytes.value_or(std::numeric_limits<std::uint64_t>::max()));
        description.staticItems = count.items;
        description.staticBlocks = count.blocksWithItems;
        description.badStaticEntries = count.badEntries;
    };

    if (HasUopMagic(source) || name.starts_with("map")) {
        describeMap();
    } else if (name.starts_with("staidx")) {
        describeIndex();
    } else if (name.starts_with("statics")) {
        description.kind = ClientFileKind::StaticsData;
        description.detection.mapNumber = named;
        description.staticItems = description.fileBytes / kStaticRecordBytes;
        description.trailingBytes = description.fileBytes % kStaticRecordBytes;
    } else if (MatchMulMapSize(description.fileBytes, named).match != SizeMatch::Unknown) {
        describeMap();
    } else if (MatchStaticsIndexSize(description.fileBytes, named).match != SizeMatch::Unknown) {
        describeIndex();
    } else {
        CannotTell(path,
                   "cannot tell what this file is: its name is not mapN, staidxN or "
                   "staticsN, and its " +
                       std::to_string(description.fileBytes) +
                       " bytes are the size of no known map or statics index.");
    }
    if (description.kind != ClientFileKind::StaticsData &&
        description.detection.match == SizeMatch::Known) {
        description.facet =
            FacetName(description.detection.geometry, description.detection.mapNumber);
    }
    return description;
}

std::string FormatClientFileDescription(const ClientFileDescription& description) {
    std::string line = description.path + ": ";
    const FileDetection& detection = description.detection;
    switch (description.kind) {
        case ClientFileKind::Map:
            line += "map";
            break;
        case ClientFileKind::StaticsIndex:
            line += "statics index";
            break;
        case ClientFileKind::StaticsData:
            line += "statics data";
            break;
    }
    if (description.container == MapContainer::Uop) {
        line += ", .uop with " + std::to_string(detection.uopEntries) + " entries (" +
                std::to_string(detection.uopMapEntries) + " of map " +
                std::to_string(detection.mapNumber.value_or(0)) + ", " +
                (detection.uopCompressedEntries == 0
                     ? std::string("none compressed")
                     : std::to_string(detection.uopCompressedEntries) + " compressed") +
                ")";
    } else {
        line += ", .mul";
    }
    if (description.kind != ClientFileKind::StaticsData) {
        if (detection.match == SizeMatch::Ambiguous) {
            line += ", ";
            for (std::size_t at = 0; at < detection.candidates.size(); ++at) {
                line += at == 0 ? "" : " or ";
                const MapGeometry& candidate = detection.candidates[at];
                line += SizeText(candidate);
                const std::string facet = FacetName(candidate, std::nullopt);
                if (!facet.empty()) {
                    line += " (" + facet + ")";
                }
            }
            line += ": the name does not tell which";
        } else {
            line += ", " + SizeText(detection.geometry);
            if (!description.facet.empty()) {
                line += ", " + description.facet;
            }
        }
    }
    if (description.kind == ClientFileKind::StaticsIndex) {
        line += ", " + std::to_string(description.staticItems) + " items in " +
                std::to_string(description.staticBlocks) + " blocks";
        if (description.badStaticEntries != 0) {
            line += ", " + std::to_string(description.badStaticEntries) +
                    " entries past the end of the statics data";
        }
    } else if (description.kind == ClientFileKind::StaticsData) {
        line += ", " + std::to_string(description.staticItems) + " items";
        if (description.trailingBytes != 0) {
            line += " and " + std::to_string(description.trailingBytes) + " bytes left over";
        }
    }
    return line;
}

}  // namespace kestrel
