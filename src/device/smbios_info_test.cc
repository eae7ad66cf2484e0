#include "device/smbios_info.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <link.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "device/device_info.h"
#include "device/shared_library.h"
#include "log/log.h"
#include "support/net_fixture.h"
#include "support/smbios_test_data.h"
#include "support/test_util.h"
#include "util/attr_list.h"
#include "util/program.h"

namespace dusk {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs Entries(const AttrTable& table) {
  Pairs out;
  for (const Attr& attr : table) out.emplace_back(attr.name, attr.value);
  return out;
}

// A stand-in library: what its GetFullBIOSInfo answers is set per test.
struct FakeLibrary {
  bool size_ok = true;
  bool run_ok = true;
  std::string data;
};
FakeLibrary fake;

unsigned char FakeGetFullBIOSInfo(void* buffer, unsigned short* size) {
  if (buffer == nullptr) {
    *size = static_cast<unsigned short>(fake.data.size());
    return fake.size_ok;
  }
  if (!fake.run_ok || *size < fake.data.size()) return 0;
  memcpy(buffer, fake.data.data(), fake.data.size());
  return 1;
}

constexpr BiosInfoEntryPoints kFake = {FakeGetFullBIOSInfo, test::TestNextPair};

TEST(SmbiosInfoTest, LibraryFailuresAreFatalAndChangeNothing) {
  struct Case {
    const char* row;
    FakeLibrary library;
    std::string message;
  } cases[] = {
      {"size query fails", {false, true, "x"}, "Failed to query GetFullBIOSInfo size"},
      {"no data", {true, true, ""}, "GetFullBIOSInfo returned no data"},
      {"data query fails", {true, false, "x"}, "Failed to run GetFullBIOSInfo"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    fake = c.library;
    AttrTable record(kDeviceInfoSlots);
    record.Set("hostname", "pc");
    test::LogCapture log;
    EXPECT_FALSE(ReadSmbiosAttributes(kFake, record));
    EXPECT_EQ(log.lines(),
              (std::vector<std::pair<int, std::string>>{{kLogFatal, c.message}}));
    EXPECT_EQ(Entries(record), (Pairs{{"hostname", "pc"}}));
  }
}

TEST(SmbiosInfoTest, KeepsListedFieldsOfTheTwoSectionsInLibraryOrder) {
  fake = {};
  fake.data = test::SmbiosData()
                  .Section("SystemInformation")
                  .Pair("ProductName", "Thin Client 7")
                  .Pair("version", "1.2")  // not a listed field
                  .Pair("uuid", "4c4c4544-0042")
                  .End()
                  .Section("Chassis")
                  .Pair("serialnumber", "other section")
                  .End()
                  .Section("systemenclosure")
                  .Pair("assettagnumber", "A 42")
                  .Pair("serialnumber", "CH-9")
                  .End()
                  .End()
                  .bytes();
  AttrTable record(kDeviceInfoSlots);
  record.Set("smsystemuuid", "old");
  test::LogCapture log;
  EXPECT_TRUE(ReadSmbiosAttributes(kFake, record));
  EXPECT_TRUE(log.lines().empty());
  EXPECT_EQ(Entries(record), (Pairs{{"smsystemuuid", "4c4c4544-0042"},
                                    {"smsystemProductName", "Thin Client 7"},
                                    {"smenclosureassettagnumber", "A 42"},
                                    {"smenclosureserialnumber", "CH-9"}}));
  EXPECT_EQ(GetAttrValue(record, "smsystemproductname", "", true), "Thin Client 7");
}

TEST(SmbiosInfoTest, MalformedDataKeepsWhatCameBefore) {
  fake = {};
  fake.data = test::SmbiosData()
                  .Section("SystemInformation")
                  .Pair("uuid", "u-1")
                  .Record(6, 19, 6)  // a value without its NUL
                  .Text("serialnumber")
                  .Raw("SN")
                  .bytes();
  AttrTable record(kDeviceInfoSlots);
  test::LogCapture log;
  EXPECT_TRUE(ReadSmbiosAttributes(kFake, record));
  EXPECT_EQ(log.lines(),
            (std::vector<std::pair<int, std::string>>{
                {kLogError,
                 "Malformed SMBIOS data from biosinfo.so, walk ended: text at "
                 "offset 58 does not end inside the 60 bytes of data"}}));
  EXPECT_EQ(Entries(record), (Pairs{{"smsystemuuid", "u-1"}}));
}

// The real library beside the test binary, reading a DMI export that the
// test makes in its private mount namespace.
class BiosInfoLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { DUSK_REQUIRE_SANDBOX(); }

  static void Export(const std::string& file, const std::string& content) {
    test::WriteFile(std::string(test::FakeDmi::kDir) + "/" + file, content);
  }

  test::FakeDmi dmi_;
  test::ScopedInstallPath install_path_;
};

TEST_F(BiosInfoLibraryTest, RecordCarriesExactlyTheExportedValues) {
  std::string error;
  ASSERT_TRUE(dmi_.Mount(&error)) << error;
  Export("product_name", "Thin Client 7\n");
  Export("product_uuid", "4c4c4544-0042-3510-8052-b4c04f4d4d32\n");
  Export("product_serial", "SN-0001\n");
  Export("product_version", "1.0\n");
  Export("sys_vendor", "Maker Inc.\n");
  Export("chassis_serial", "CH 9\n");
  Export("chassis_asset_tag", "Asset 42\n");
  Export("chassis_vendor", "Maker Inc.\n");
  AttrTable record(kDeviceInfoSlots);
  EXPECT_TRUE(GetSMBIOSInfo(record));
  EXPECT_EQ(Entries(record),
            (Pairs{{"smsystemproductname", "Thin Client 7"},
                   {"smsystemuuid", "4c4c4544-0042-3510-8052-b4c04f4d4d32"},
                   {"smsystemserialnumber", "SN-0001"},
                   {"smenclosureserialnumber", "CH 9"},
                   {"smenclosureassettagnumber", "Asset 42"}}));
}

TEST_F(BiosInfoLibraryTest, OddFilesGiveOneLineOrNothing) {
  std::string error;
  ASSERT_TRUE(dmi_.Mount(&error)) << error;
  const std::string path = std::string(test::FakeDmi::kDir) + "/product_name";
  struct Case {
    const char* row;
    std::string content;  // "<dir>": a directory in place of the file
    bool present;
    std::string value;
  } cases[] = {
      {"huge, one line", std::string(1 << 20, 'x'), true,
       std::string(kSmbiosValueMax, 'x')},
      {"longest value and its line feed", std::string(kSmbiosValueMax, 'y') + "\n", true,
       std::string(kSmbiosValueMax, 'y')},
      {"binary", std::string("ab\0\xff\xfe\n", 6), true, "ab"},
      {"several lines", "line one\nline two\n", true, "line one"},
      {"empty", "", true, ""},
      {"only a line feed", "\n", true, ""},
      {"no line feed", "Model", true, "Model"},
      {"unreadable", "<dir>", false, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    std::filesystem::remove_all(path);
    if (c.content == "<dir>")
      std::filesystem::create_directory(path);
    else
      test::WriteFile(path, c.content);
    AttrTable record(kDeviceInfoSlots);
    EXPECT_TRUE(GetSMBIOSInfo(record));
    std::string value;
    EXPECT_EQ(record.Get("smsystemproductname", &value), c.present);
    EXPECT_EQ(value, c.value);
  }
}

TEST_F(BiosInfoLibraryTest, NoDmiExportStillGivesBothSections) {
  std::string error;
  ASSERT_TRUE(dmi_.Hide(&error)) << error;
  ASSERT_FALSE(std::filesystem::exists("/sys/class/dmi"));
  AttrTable record(kDeviceInfoSlots);
  test::LogCapture log;
  EXPECT_TRUE(GetSMBIOSInfo(record));
  EXPECT_TRUE(record.empty());
  EXPECT_TRUE(log.lines().empty());

  // The sections themselves, as the library hands them over.
  SharedLibrary library =
      SharedLibrary::Open((installPath + "/biosinfo.so").c_str(), RTLD_NOW);
  ASSERT_TRUE(library);
  auto get = reinterpret_cast<GetFullBIOSInfoFn>(library.Symbol("GetFullBIOSInfo"));
  auto next = reinterpret_cast<SmbiosNextPair>(library.Symbol("NextPair"));
  unsigned short size = 0;
  ASSERT_TRUE(get(nullptr, &size));
  std::vector<uint8_t> data(size);
  ASSERT_TRUE(get(data.data(), &size));
  EXPECT_EQ(size, data.size());
  SmbiosWalk walk = WalkSmbiosData(data, next);
  EXPECT_EQ(walk.error, "");
  EXPECT_TRUE(walk.fields.empty());
  const std::string text(data.begin(), data.end());
  EXPECT_NE(text.find(std::string("SystemInformation", 18)), std::string::npos);
  EXPECT_NE(text.find(std::string("SystemEnclosure", 16)), std::string::npos);
  // Too small a buffer is refused, not overrun.
  unsigned short small = size - 1;
  EXPECT_FALSE(get(data.data(), &small));
}

TEST_F(BiosInfoLibraryTest, MissingOrForeignLibraryIsFatal) {
  test::TempDir dir;
  installPath = dir.path();
  AttrTable record(kDeviceInfoSlots);
  {
    test::LogCapture log;
    EXPECT_FALSE(GetSMBIOSInfo(record));
    const std::string path = dir / "biosinfo.so";
    EXPECT_EQ(log.lines(),
              (std::vector<std::pair<int, std::string>>{
                  {kLogFatal, "Failed to load Library " + path + ", error=" + path +
                                  ": cannot open shared object file: No such file or "
                                  "directory"}}));
  }
  // A real library that lacks the entry points.
  void* libm = dlopen("libm.so.6", RTLD_NOW);
  ASSERT_NE(libm, nullptr);
  struct link_map* map = nullptr;
  ASSERT_EQ(dlinfo(libm, RTLD_DI_LINKMAP, &map), 0);
  std::filesystem::copy_file(map->l_name, dir / "biosinfo.so");
  dlclose(libm);
  test::LogCapture log;
  EXPECT_FALSE(GetSMBIOSInfo(record));
  EXPECT_EQ(log.lines(), (std::vector<std::pair<int, std::string>>{
                             {kLogFatal,
                              "Failed to get address of GetFullBIOSInfo from Library "
                              "biosinfo.so"}}));
  EXPECT_TRUE(record.empty());
}

}  // namespace
}  // namespace dusk
