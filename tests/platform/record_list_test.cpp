#include "platform/record_list.h"

#include <gtest/gtest.h>

namespace {

TEST(PointerArray, GrowsByEightKeepingOrder) {
    PointerArray array;
    EXPECT_EQ(array.Capacity(), 0);
    int values[17];
    for (int i = 0; i < 17; ++i) {
        array.Append(&values[i]);
        EXPECT_EQ(array.Capacity(), (i / 8 + 1) * 8) << "after " << i + 1;
    }
    EXPECT_EQ(array.Count(), 17);
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(array[i], &values[i]);
    }
}

TEST(PointerArray, ClearEmptiesAndTheNextAppendAllocatesEightAgain) {
    PointerArray array;
    array.Clear();
    EXPECT_EQ(array.Count(), 0);
    int value = 0;
    for (int i = 0; i < 9; ++i) {
        array.Append(&value);
    }
    array.Clear();
    EXPECT_EQ(array.Count(), 0);
    EXPECT_EQ(array.Capacity(), 0);
    array.Append(&value);
    EXPECT_EQ(array.Capacity(), 8);
    EXPECT_EQ(array[0], &value);
}

TEST(TextRecord, CapacitiesFollowTheText) {
    TextRecord empty;
    EXPECT_EQ(empty.Capacity(), 1);
    EXPECT_STREQ(empty.Text(), "");
    TextRecord fromEmpty("");
    EXPECT_EQ(fromEmpty.Capacity(), 1);
    TextRecord text("C:\\Program Files\\Demo");
    EXPECT_EQ(text.Capacity(), 22);
    TextRecord copy(text);
    EXPECT_EQ(copy.Capacity(), 22);
    EXPECT_STREQ(copy.Text(), text.Text());
    EXPECT_NE(copy.Text(), text.Text());
}

TEST(TextRecord, AssignGrowsButNeverShrinks) {
    TextRecord record("a much longer text than the next");
    int large = record.Capacity();
    TextRecord shorter("short");
    record.Assign(shorter);
    EXPECT_STREQ(record.Text(), "short");
    EXPECT_EQ(record.Capacity(), large);
    TextRecord longer("this text is longer than the first one was, by far");
    record.Assign(longer);
    EXPECT_STREQ(record.Text(), longer.Text());
    EXPECT_EQ(record.Capacity(), longer.Capacity());
}

TEST(RecordList, KeepsSeparateCopiesInInsertionOrder) {
    RecordList list;
    {
        TextRecord first("C:\\one.dll");
        list.Add(first);
        list.Add(first);
        TextRecord second("C:\\two.dll");
        list.Add(second);
    }
    ASSERT_EQ(list.Count(), 3);
    EXPECT_STREQ(list.Item(0).Text(), "C:\\one.dll");
    EXPECT_STREQ(list.Item(1).Text(), "C:\\one.dll");
    EXPECT_NE(list.Item(0).Text(), list.Item(1).Text());
    EXPECT_STREQ(list.Item(2).Text(), "C:\\two.dll");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    list.Clear();
    TextRecord again("again");
    list.Add(again);
    EXPECT_EQ(list.Count(), 1);
}

}  // namespace
