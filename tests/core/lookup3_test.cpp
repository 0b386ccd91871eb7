#include "clientfiles/lookup3.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kestrel {
namespace {

// The published values of lookup3.c's own self-test (driver5).
TEST(Lookup3Test, HashLittle2GivesThePublishedValues) {
    struct Case {
        std::string key;
        std::uint32_t seedC;
        std::uint32_t seedB;
        std::uint32_t c;
        std::uint32_t b;
    };
    const std::string text = "Four score and seven years ago";
    const Case cases[] = {
        {"", 0, 0, 0xdeadbeef, 0xdeadbeef},
        {"", 0, 0xdeadbeef, 0xbd5b7dde, 0xdeadbeef},
        {"", 0xdeadbeef, 0xdeadbeef, 0x9c093ccd, 0xbd5b7dde},
        {text, 0, 0, 0x17770551, 0xce7226e6},
        {text, 0, 1, 0xe3607cae, 0xbd371de4},
        {text, 1, 0, 0xcd628161, 0x6cbea4b3},
    };
    for (const Case& test : cases) {
        const Lookup3Result result =
            HashLittle2(test.key.data(), test.key.size(), test.seedC, test.seedB);
        EXPECT_EQ(result.c, test.c) << '"' << test.key << "\" " << test.seedC << ',' << test.seedB;
        EXPECT_EQ(result.b, test.b) << '"' << test.key << "\" " << test.seedC << ',' << test.seedB;
    }
}

TEST(Lookup3Test, UopNameHashPutsTheSecondaryHashInTheHighWord) {
    EXPECT_EQ(UopNameHash("Four score and seven years ago"), 0xce7226e617770551u);
    EXPECT_EQ(UopNameHash(""), 0xdeadbeefdeadbeefu);
}

}  // namespace
}  // namespace kestrel
