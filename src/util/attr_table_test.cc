#include "util/attr_table.h"

#include <gtest/gtest.h>

namespace dusk {
namespace {

TEST(AttrTableTest, KeepsFirstStoredNameAndOrder) {
  AttrTable table(4);
  EXPECT_TRUE(table.Set("NAME", "1"));
  EXPECT_TRUE(table.Set("other", "2"));
  EXPECT_TRUE(table.SetNoCase("Name", "3"));
  ASSERT_EQ(table.size(), 2);
  EXPECT_EQ(table.entries()[0].name, "NAME");
  EXPECT_EQ(table.entries()[0].value, "3");
  EXPECT_EQ(table.entries()[1].name, "other");
}

TEST(AttrTableTest, ExactAndNoCaseLookups) {
  AttrTable table(4);
  table.Set("DevDn", "lower slot");
  table.Set("devdn", "upper slot");  // exact names differ: a second slot
  EXPECT_EQ(table.size(), 2);
  std::string value = "untouched";
  EXPECT_FALSE(table.Get("DEVDN", &value));
  EXPECT_EQ(value, "untouched");
  EXPECT_TRUE(table.GetNoCase("DEVDN", &value));
  EXPECT_EQ(value, "lower slot");
  EXPECT_TRUE(table.Get("devdn", &value));
  EXPECT_EQ(value, "upper slot");
  EXPECT_TRUE(table.Get("devdn", nullptr));
}

TEST(AttrTableTest, FullTableDropsNewNamesOnly) {
  AttrTable table(1);
  EXPECT_TRUE(table.Set("first", "a"));
  EXPECT_FALSE(table.Set("second", "b"));
  EXPECT_TRUE(table.Set("first", "c"));
  ASSERT_EQ(table.size(), 1);
  EXPECT_EQ(table.entries()[0].value, "c");
  table.Clear();
  EXPECT_TRUE(table.empty());
  EXPECT_TRUE(table.Set("second", "b"));
  EXPECT_EQ(AttrTable(0).capacity(), 1);
}

}  // namespace
}  // namespace dusk
