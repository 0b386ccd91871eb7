// The statics export over any index and data pair. Input: 13 bytes of
// settings, a 2-byte length of the index part, the index, then the data.
// Whatever the files hold, the export must either refuse them with its
// message (leaving the old script alone) or write exactly the sections that a
// plain reading of the files gives, numbered from 0; the statics files stay
// as they were.

#include <cstdint>
#include <optional>
#include <string>

#include "fuzz_support.h"
#include "operations/statics_export.h"
#include "support/recording_ui.h"
#include "support/statics_fixture.h"
#include "support/temp_dir.h"

using kestrel::fuzz::Check;
using kestrel::fuzz::TakeU16;
using kestrel::test::Bytes;

namespace {

constexpr std::size_t kHeader = 15;

std::int64_t LoadLe(const Bytes& bytes, std::size_t at, int count) {
    std::uint64_t value = 0;
    for (int i = count - 1; i >= 0; --i) {
        value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    }
    return static_cast<std::int64_t>(value);
}

// What the export must do, worked out from the bytes: the message, or the script.
struct Outcome {
    std::optional<std::string> message;
    std::string script;
};

Outcome Expect(const Bytes& index, const Bytes& data, const kestrel::CopySettings& s) {
    Outcome outcome;
    const int firstBx = s.minX / 8, lastBx = s.maxX / 8, firstBy = s.minY / 8, lastBy = s.maxY / 8;
    if (firstBx > lastBx || firstBy > lastBy) {
        return outcome;
    }
    if (index.size() < static_cast<std::size_t>((lastBx * 512 + lastBy) * 12 + 12)) {
        outcome.message = kestrel::kStaticsIndexTooShort;
        return outcome;
    }
    int number = 0;
    for (int by = firstBy; by <= lastBy; ++by) {
        for (int bx = firstBx; bx <= lastBx; ++bx) {
            const auto at = static_cast<std::size_t>((bx * 512 + by) * 12);
            std::int64_t lookup = LoadLe(index, at, 4);
            lookup = lookup >= 0x80000000LL ? lookup - 0x100000000LL : lookup;
            std::int64_t length = LoadLe(index, at + 4, 4);
            if (lookup == -1 || length == 0) {
                continue;
            }
            const std::int64_t records = (length + 6) / 7;
            if (lookup < 0 || lookup + records * 7 > static_cast<std::int64_t>(data.size())) {
                outcome.message = kestrel::BadStaticsEntryMessage(bx, by);
                outcome.script.clear();
                return outcome;
            }
            for (std::int64_t k = 0; k < records; ++k) {
                const auto record = static_cast<std::size_t>(lookup + 7 * k);
                const int column = bx * 8 + data[record + 2];
                const int row = by * 8 + data[record + 3];
                if (column < s.minX || column > s.maxX || row < s.minY || row > s.maxY) {
                    continue;
                }
                const int z = static_cast<std::int8_t>(data[record + 4]);
                outcome.script += kestrel::test::WorldItemSection(
                    number, static_cast<int>(LoadLe(data, record, 2)), s.offX + column - s.minX,
                    s.offY + row - s.minY, s.offZ + z,
                    static_cast<int>(LoadLe(data, record + 5, 2)));
                ++number;
            }
        }
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* input, std::size_t size) {
    using namespace kestrel;
    if (size < kHeader) {
        return 0;
    }
    // The rectangle stays near the first blocks, where a small index has
    // entries; bit 0 of the flags lays the index out again for block column
    // 1, so that rows of several blocks are walked too.
    const std::uint8_t flags = input[0];
    CopySettings settings;
    settings.minX = static_cast<int>(input[1] % 24);
    settings.maxX = static_cast<int>(input[2] % 24);
    settings.minY = static_cast<int>(TakeU16(input, size, 3) % 700);
    settings.maxY = static_cast<int>(TakeU16(input, size, 5) % 700);
    settings.offX = static_cast<int>(TakeU16(input, size, 7) % 6144);
    settings.offY = static_cast<int>(TakeU16(input, size, 9) % 4096);
    settings.offZ = static_cast<int>(TakeU16(input, size, 11) % 513) - 256;
    const std::size_t indexSize = std::min<std::size_t>(TakeU16(input, size, 13), size - kHeader);
    Bytes index(input + kHeader, input + kHeader + indexSize);
    const Bytes data(input + kHeader + indexSize, input + size);
    if ((flags & 1) != 0 && index.size() <= 512 * 12) {
        const Bytes column = index;
        index.resize(512 * 12, 0xFF);
        index.insert(index.end(), column.begin(), column.end());
    }

    const std::string& directory = fuzz::ScratchDirectory();
    settings.staticsIndexPath = directory + "/staidx0.mul";
    settings.staticsDataPath = directory + "/statics0.mul";
    settings.itemsPath = directory + "/items.wsc";
    test::WriteBytes(settings.staticsIndexPath, index);
    test::WriteBytes(settings.staticsDataPath, data);
    const std::string oldScript = "old script";
    test::WriteText(settings.itemsPath, oldScript);

    const Outcome expected = Expect(index, data, settings);
    test::RecordingUi ui;
    ExportStatics(settings, ui);

    const Bytes script = test::ReadBytes(settings.itemsPath);
    if (expected.message) {
        Check(
            ui.events == std::vector<std::string>{"begin", "end", "message: " + *expected.message},
            "the damaged statics were not refused with the right message");
        Check(script == Bytes(oldScript.begin(), oldScript.end()),
              "a refused export touched the script");
    } else {
        Check(ui.events == std::vector<std::string>{"begin", "end"},
              "a sound export showed something");
        Check(script == Bytes(expected.script.begin(), expected.script.end()),
              "the script differs from the sections the files hold");
    }
    Check(test::ReadBytes(settings.staticsIndexPath) == index, "the statics index was changed");
    Check(test::ReadBytes(settings.staticsDataPath) == data, "the statics data was changed");
    return 0;
}
