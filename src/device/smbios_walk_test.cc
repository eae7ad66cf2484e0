#include "device/smbios_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/smbios_test_data.h"

namespace dusk {
namespace {

using test::SmbiosData;

// Walks the first |size| bytes (all when 0) from a copy of exactly that
// size, so any read beyond is caught.
SmbiosWalk Walk(const SmbiosData& data, size_t size = 0) {
  const std::string& bytes = data.bytes();
  std::vector<uint8_t> copy(bytes.begin(), bytes.begin() + (size ? size : bytes.size()));
  return WalkSmbiosData(copy, test::TestNextPair);
}

std::vector<std::string> Flatten(const SmbiosWalk& walk) {
  std::vector<std::string> out;
  for (const SmbiosField& field : walk.fields)
    out.push_back(field.section + "/" + field.name + "=" + field.value);
  return out;
}

TEST(SmbiosWalkTest, WellFormedDataInLibraryOrder) {
  SmbiosData data;
  data.Section("SystemInformation")
      .Pair("productname", "Thin Client 7")
      .Pair("version", "")
      .End()
      .Section("Other")
      .End()
      .Section("SystemEnclosure")
      .Pair("assettagnumber", "A-1")
      .End()
      .End()
      .Raw("ignored after the end");
  SmbiosWalk walk = Walk(data);
  EXPECT_EQ(walk.error, "");
  EXPECT_EQ(Flatten(walk),
            (std::vector<std::string>{
                "SystemInformation/productname=Thin Client 7",
                "SystemInformation/version=", "SystemEnclosure/assettagnumber=A-1"}));
}

TEST(SmbiosWalkTest, LimitsOnNamesAndValues) {
  const std::string name127(kSmbiosNameMax, 'n'), name128(kSmbiosNameMax + 1, 'n');
  const std::string value(kSmbiosValueMax + 10, 'v');
  SmbiosData data;
  data.Section(name128)
      .Pair("inside a skipped section", "x")
      .End()
      .Section("S")
      .Pair(name128, "skipped")
      .Pair(name127, value)
      .End()
      .End();
  SmbiosWalk walk = Walk(data);
  EXPECT_EQ(walk.error, "");
  ASSERT_EQ(walk.fields.size(), 1u);
  EXPECT_EQ(walk.fields[0].name, name127);
  EXPECT_EQ(walk.fields[0].value, std::string(kSmbiosValueMax, 'v'));
}

// Every malformation ends the walk with its reason; what came before stays.
TEST(SmbiosWalkTest, MalformedDataEndsTheWalk) {
  struct Case {
    const char* row;
    SmbiosData data;
    size_t cut;  // bytes walked; 0 for all
    size_t fields;
    std::string error;
  } cases[] = {
      {"shorter than a record", SmbiosData().Raw("\x06"), 0, 0,
       "record at offset 0 lies outside the 1 bytes of data"},
      {"no end record", SmbiosData().Section("S").Pair("a", "1"), 0, 1,
       "record at offset 18 lies outside the 18 bytes of data"},
      {"last record cut short", SmbiosData().Section("S").End().End(), 16, 0,
       "record at offset 14 lies outside the 16 bytes of data"},
      {"first pair beyond the data", SmbiosData().Record(6, 40000, 6).Text("S").End(), 0,
       0, "record at offset 40000 lies outside the 14 bytes of data"},
      {"next record before the data",
       SmbiosData().Section("S").Record(6, 8, -100).Text("a").Text("1"), 0, 1,
       "record at offset -92 lies outside the 18 bytes of data"},
      {"value offset outside",
       SmbiosData().Section("S").Record(6, 999, 10).Text("a").End().End(), 0, 0,
       "text at offset 1007 lies outside the 28 bytes of data"},
      {"section name without its NUL", SmbiosData().Record(6, 8, 8).Raw("SI"), 0, 0,
       "text at offset 6 does not end inside the 8 bytes of data"},
      {"value without its NUL",
       SmbiosData().Section("S").Record(6, 8, 10).Text("a").Raw("12"), 0, 0,
       "text at offset 16 does not end inside the 18 bytes of data"},
      {"pair pointing at itself",
       SmbiosData().Section("S").Record(6, 8, 0).Text("a").Text("1"), 0, 3,
       "record chain does not end within the 18 bytes of data"},
      {"end record leading back to the first section",
       SmbiosData().Section("S").Record(0, 0, -8), 0, 0,
       "record chain does not end within the 14 bytes of data"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    SmbiosWalk walk = Walk(c.data, c.cut);
    EXPECT_EQ(walk.error, c.error);
    EXPECT_EQ(walk.fields.size(), c.fields);
  }
}

}  // namespace
}  // namespace dusk
