// The patterns a value may draw from its device, and the values a device can take.
#include <gtest/gtest.h>

#include <string>

#include "job/ValuePatterns.h"

namespace {

const job::DeviceIdentity kDevice{"860000000001234", "KV-2.9.4"};

struct Expansion {
    const char* value;
    const char* expanded;
};

class Expand : public ::testing::TestWithParam<Expansion> {};

TEST_P(Expand, TakesTheDevicesOwnText) {
    EXPECT_EQ(job::PatternFault(GetParam().value), "");
    EXPECT_EQ(job::ExpandPatterns(GetParam().value, kDevice), GetParam().expanded);
}

INSTANTIATE_TEST_SUITE_P(Patterns, Expand,
                         ::testing::Values(Expansion{"plain text", "plain text"},
                                           Expansion{"{imei}", "860000000001234"},
                                           Expansion{"dtu-{imei:-4}.example", "dtu-1234.example"},
                                           Expansion{"{imei:-1}{imei:-15}", "4860000000001234"},
                                           Expansion{"fw {version}", "fw KV-2.9.4"},
                                           Expansion{"{{imei}} }}{{", "{imei} }{"}));

struct Fault {
    const char* value;
    const char* fault;
};

class Refuse : public ::testing::TestWithParam<Fault> {};

TEST_P(Refuse, NamesTheBracesAndLeavesTheValueAsItWas) {
    EXPECT_EQ(job::PatternFault(GetParam().value), GetParam().fault);
    EXPECT_EQ(job::ExpandPatterns(GetParam().value, kDevice), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, Refuse,
    ::testing::Values(Fault{"{", "{"}, Fault{"a}b", "}"}, Fault{"{imei", "{"},
                      Fault{"{imei{x}", "{imei"}, Fault{"{IMEI}", "{IMEI}"},
                      Fault{"{serial}", "{serial}"}, Fault{"{imei:-0}", "{imei:-0}"},
                      Fault{"{imei:-16}", "{imei:-16}"}, Fault{"{imei:-07}", "{imei:-07}"},
                      Fault{"{imei:-}", "{imei:-}"}, Fault{"ok {version} {x}", "{x}"}));

TEST(ValuePatterns, ADeviceTakesNoLineBreakZeroByteOrOverlongValue) {
    EXPECT_TRUE(job::IsSendable(std::string(job::kMaxValueBytes, 'x')));
    for (const std::string& value :
         {std::string("a\rb"), std::string("a\n"), std::string("a\0b", 3),
          std::string(job::kMaxValueBytes + 1, 'x')}) {
        EXPECT_FALSE(job::IsSendable(value)) << value.size();
    }
}

}  // namespace
