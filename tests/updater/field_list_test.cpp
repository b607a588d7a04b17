#include <gtest/gtest.h>

#include <stdexcept>

#include "updater/field_list.h"

namespace {

std::vector<std::string> All(const CFieldList& list)
{
    std::vector<std::string> fields;
    for (int i = 0; i < list.GetCount(); ++i)
        fields.push_back(list[i]);
    return fields;
}

}  // namespace

TEST(CFieldList, EverySeparatorEndsAFieldEvenAnEmptyOne)
{
    EXPECT_EQ(All(CFieldList("a\tb\tc", "\t")), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(All(CFieldList("a\t\tc", "\t")), (std::vector<std::string>{"a", "", "c"}));
    EXPECT_EQ(All(CFieldList("\ta", "\t")), (std::vector<std::string>{"", "a"}));
    EXPECT_EQ(All(CFieldList("a\t", "\t")), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(All(CFieldList("\t\t", "\t")), (std::vector<std::string>{"", "", ""}));
}

TEST(CFieldList, EmptyTextIsOneEmptyField)
{
    const CFieldList list("", "\n");
    EXPECT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list[0], "");
}

TEST(CFieldList, OnlyTheSeparatorSplitsAndOtherBytesStay)
{
    // A carriage return before a line feed stays part of the line.
    EXPECT_EQ(All(CFieldList("1\r\nx\ty\r\n", "\n")), (std::vector<std::string>{"1\r", "x\ty\r", ""}));
    EXPECT_EQ(All(CFieldList(std::string("a\0b,c", 5), ",")), (std::vector<std::string>{std::string("a\0b", 3), "c"}));
    EXPECT_EQ(All(CFieldList("\xE4\xF6\t\xFC", "\t")), (std::vector<std::string>{"\xE4\xF6", "\xFC"}));
}

TEST(CFieldList, SeparatorOfAnotherLengthGivesOneEmptyField)
{
    for (const char* separator : {"", "\t\t", "ab"}) {
        const CFieldList list("a\tb", separator);
        EXPECT_EQ(list.GetCount(), 1) << separator;
        EXPECT_EQ(list[0], "");
    }
}

TEST(CFieldList, IndexOutsideTheFieldsRaisesIndexOutOfBounds)
{
    const CFieldList list("a\tb", "\t");
    EXPECT_EQ(list.GetAt(1), "b");
    for (int index : {-1, 2, 1000}) {
        try {
            list.GetAt(index);
            ADD_FAILURE() << "no error for index " << index;
        } catch (const std::out_of_range& error) {
            EXPECT_STREQ(error.what(), "Index out of Bounds");
        }
    }
}
