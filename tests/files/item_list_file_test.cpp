#include "file_bytes.h"
#include "files/item_list_file.h"
#include "test_support.h"

#include <gtest/gtest.h>

TEST(ItemListFile, OneLineperItemNamesCutAtTheBracketNoBreakAfterTheLastLine) {
    const CNVItemArray list =
        List({Rec(10, 0, 3, 1, {}, "Arr [ 0 ]"), Rec(10, 1, 3, 1, {}, "Arr [ 1 ]"), Rec(10, 2, 3, 1, {}, "Arr [ 2 ]"),
              Rec(12, -1, 0, 1, {}, "Plain"), Rec(12, -1, 0, 1, {}, "Plain")});
    EXPECT_EQ(CItemListFile::Format(list), "NV Item Name;NV ID\r\nArr ;10\r\nPlain;12");
    EXPECT_EQ(CItemListFile::Format(CNVItemArray{}), "NV Item Name;NV ID\r\n");

    const std::string dir = MakeTempDir("csv");
    std::string error;
    ASSERT_TRUE(CItemListFile::Write(dir + "/l.csv", list, error)) << error;
    EXPECT_EQ(ReadFile(dir + "/l.csv"), CItemListFile::Format(list));
    EXPECT_FALSE(CItemListFile::Write(dir + "/no/such/folder/l.csv", list, error));
    EXPECT_FALSE(error.empty());
}
