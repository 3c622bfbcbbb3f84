// The form's "N. name" label of an item, and the name taken back out of it.
#include "protocol/ItemLabel.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(ItemLabel, IsTheNumberADotABlankAndTheNameAsItsBytes) {
    EXPECT_EQ(ItemLabel(1, "Mode"), "1. Mode");
    EXPECT_EQ(ItemLabel(60, ""), "60. ");
    const std::string gbk("\xB7\xFE\xCE\xF1\0x", 6);
    EXPECT_EQ(ItemLabel(12, gbk), "12. " + gbk);
}

TEST(ItemLabel, TheNameComesBackOnlyFromALabelOfThatNumber) {
    EXPECT_EQ(ItemLabelName("1. Mode", 1), "Mode");
    EXPECT_EQ(ItemLabelName(ItemLabel(7, "A. B"), 7), "A. B");
    EXPECT_EQ(ItemLabelName("12. Mode", 1), "12. Mode");
    EXPECT_EQ(ItemLabelName("1.Mode", 1), "1.Mode");
    EXPECT_EQ(ItemLabelName("1. ", 1), "");
    EXPECT_EQ(ItemLabelName("1", 1), "1");
}

}  // namespace
