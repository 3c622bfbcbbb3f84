#include <gtest/gtest.h>

#include <tuple>

#include "cli/Assignments.h"

namespace {

using cli::AssignmentError;
using cli::ItemAssignment;
using cli::ParseAssignment;
using cli::ParseAssignments;

TEST(Assignments, TheValueIsEverythingAfterTheFirstEquals) {
    for (const auto& [argument, number, value] : {std::tuple{"1=0", 1, "0"},
                                                  {"60=x", 60, "x"},
                                                  {"2=a=b", 2, "a=b"},
                                                  {"5=", 5, ""},
                                                  {"11= spaced ", 11, " spaced "},
                                                  {"39=设备", 39, "设备"}}) {
        auto parsed = ParseAssignment(argument);
        ASSERT_TRUE(std::holds_alternative<ItemAssignment>(parsed)) << argument;
        EXPECT_EQ(std::get<ItemAssignment>(parsed).number, number) << argument;
        EXPECT_EQ(std::get<ItemAssignment>(parsed).value, value) << argument;
    }
}

TEST(Assignments, NumbersOutsideTheFormOrNotPlainAreRefused) {
    for (const char* argument : {"0=1", "61=1", "100=1", "01=1", "+5=1", "-5=1", " 5=1", "5 =1",
                                 "5", "=5", "a=1", "1e1=1", "", "999999999999=1"}) {
        auto parsed = ParseAssignment(argument);
        ASSERT_TRUE(std::holds_alternative<AssignmentError>(parsed)) << argument;
        EXPECT_EQ(std::get<AssignmentError>(parsed).kind, AssignmentError::Malformed);
        EXPECT_EQ(std::get<AssignmentError>(parsed).argument, argument);
    }
}

TEST(Assignments, AListKeepsItsOrderAndRefusesAnItemGivenTwice) {
    auto ok = ParseAssignments({"6=7001", "2=apn", "11=30"});
    ASSERT_TRUE(std::holds_alternative<std::vector<ItemAssignment>>(ok));
    const auto& list = std::get<std::vector<ItemAssignment>>(ok);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].number, 6);
    EXPECT_EQ(list[1].value, "apn");
    EXPECT_EQ(list[2].number, 11);

    auto twice = ParseAssignments({"2=a", "3=b", "2=c"});
    ASSERT_TRUE(std::holds_alternative<AssignmentError>(twice));
    EXPECT_EQ(std::get<AssignmentError>(twice).kind, AssignmentError::Duplicate);
    EXPECT_EQ(std::get<AssignmentError>(twice).number, 2);

    // The first bad argument is the one reported.
    auto bad = ParseAssignments({"2=a", "x", "61=1"});
    ASSERT_TRUE(std::holds_alternative<AssignmentError>(bad));
    EXPECT_EQ(std::get<AssignmentError>(bad).argument, "x");
}

}  // namespace
