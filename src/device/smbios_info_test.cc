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
#include "support/smbios_test_data.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/attr_list.h"

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

/// Calls of each query of the stand-in: the plain one, and the directories
/// its directory entry point was given.
int plain_queries = 0;
std::vector<std::string> directory_queries;

unsigned char FakeAnswer(void* buffer, unsigned short* size) {
  if (buffer == nullptr) {
    *size = static_cast<unsigned short>(fake.data.size());
    return fake.size_ok;
  }
  if (!fake.run_ok || *size < fake.data.size()) return 0;
  memcpy(buffer, fake.data.data(), fake.data.size());
  return 1;
}

unsigned char FakeGetFullBIOSInfo(void* buffer, unsigned short* size) {
  ++plain_queries;
  return FakeAnswer(buffer, size);
}

unsigned char FakeGetFullBIOSInfoFrom(const char* directory, void* buffer,
                                      unsigned short* size) {
  directory_queries.push_back(directory);
  return FakeAnswer(buffer, size);
}

constexpr BiosInfoEntryPoints kFake = {FakeGetFullBIOSInfo, test::TestNextPair};

// A library with the directory entry point reads the export it is given;
// one without it is asked as before.
TEST(SmbiosInfoTest, DirectoryEntryPointWhenTheLibraryHasIt) {
  fake = {};
  fake.data =
      test::SmbiosData().Section("SystemInformation").Pair("uuid", "u-1").End().End().bytes();
  BiosInfoEntryPoints with_directory = kFake;
  with_directory.get_full_bios_info_from = FakeGetFullBIOSInfoFrom;
  with_directory.dmi_directory = "/layout/dmi";
  struct Case {
    const char* row;
    BiosInfoEntryPoints library;
    int plain;
    std::vector<std::string> directories;
  } cases[] = {
      {"plain library", kFake, 2, {}},
      {"with the directory entry point", with_directory, 0, {"/layout/dmi", "/layout/dmi"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    plain_queries = 0;
    directory_queries.clear();
    AttrTable record(kDeviceInfoSlots);
    EXPECT_TRUE(ReadSmbiosAttributes(c.library, record));
    EXPECT_EQ(Entries(record), (Pairs{{"smsystemuuid", "u-1"}}));
    EXPECT_EQ(plain_queries, c.plain);
    EXPECT_EQ(directory_queries, c.directories);
  }
}

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

// The real library beside the test binary, reading a DMI export of the
// test's making in its layout.
class BiosInfoLibraryTest : public ::testing::Test {
 protected:
  void Export(const std::string& file, const std::string& content) {
    test::WriteFile(layout_.layout().dmiDir + "/" + file, content);
  }

  test::TestLayout layout_;
};

TEST_F(BiosInfoLibraryTest, RecordCarriesExactlyTheExportedValues) {
  Export("product_name", "Thin Client 7\n");
  Export("product_uuid", "4c4c4544-0042-3510-8052-b4c04f4d4d32\n");
  Export("product_serial", "SN-0001\n");
  Export("product_version", "1.0\n");
  Export("sys_vendor", "Maker Inc.\n");
  Export("chassis_serial", "CH 9\n");
  Export("chassis_asset_tag", "Asset 42\n");
  Export("chassis_vendor", "Maker Inc.\n");
  AttrTable record(kDeviceInfoSlots);
  EXPECT_TRUE(GetSMBIOSInfo(layout_, record));
  EXPECT_EQ(Entries(record),
            (Pairs{{"smsystemproductname", "Thin Client 7"},
                   {"smsystemuuid", "4c4c4544-0042-3510-8052-b4c04f4d4d32"},
                   {"smsystemserialnumber", "SN-0001"},
                   {"smenclosureserialnumber", "CH 9"},
                   {"smenclosureassettagnumber", "Asset 42"}}));
}

TEST_F(BiosInfoLibraryTest, OddFilesGiveOneLineOrNothing) {
  const std::string path = layout_.layout().dmiDir + "/product_name";
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
    EXPECT_TRUE(GetSMBIOSInfo(layout_, record));
    std::string value;
    EXPECT_EQ(record.Get("smsystemproductname", &value), c.present);
    EXPECT_EQ(value, c.value);
  }
}

TEST_F(BiosInfoLibraryTest, NoDmiExportStillGivesBothSections) {
  layout_.layout().dmiDir = layout_.On("/sys/class/dmi-none/id");
  AttrTable record(kDeviceInfoSlots);
  test::LogCapture log;
  EXPECT_TRUE(GetSMBIOSInfo(layout_, record));
  EXPECT_TRUE(record.empty());
  EXPECT_TRUE(log.lines().empty());

  // The sections themselves, as the library hands them over.
  SharedLibrary library = SharedLibrary::Open(
      (layout_.layout().installDir + "/" + kBiosInfoLibrary).c_str(), RTLD_NOW);
  ASSERT_TRUE(library);
  auto get = reinterpret_cast<GetFullBIOSInfoFromFn>(library.Symbol(kBiosInfoFromDirectory));
  auto next = reinterpret_cast<SmbiosNextPair>(library.Symbol("NextPair"));
  ASSERT_NE(get, nullptr);
  const char* dir = layout_.layout().dmiDir.c_str();
  unsigned short size = 0;
  ASSERT_TRUE(get(dir, nullptr, &size));
  std::vector<uint8_t> data(size);
  ASSERT_TRUE(get(dir, data.data(), &size));
  EXPECT_EQ(size, data.size());
  SmbiosWalk walk = WalkSmbiosData(data, next);
  EXPECT_EQ(walk.error, "");
  EXPECT_TRUE(walk.fields.empty());
  const std::string text(data.begin(), data.end());
  EXPECT_NE(text.find(std::string("SystemInformation", 18)), std::string::npos);
  EXPECT_NE(text.find(std::string("SystemEnclosure", 16)), std::string::npos);
  // Too small a buffer is refused, not overrun; no directory at all too.
  unsigned short small = size - 1;
  EXPECT_FALSE(get(dir, data.data(), &small));
  EXPECT_FALSE(get(nullptr, nullptr, &size));
}

// Without a directory the library reads the kernel's own export, whatever
// this machine has there (the same for both calls, run as the same user).
TEST_F(BiosInfoLibraryTest, PlainEntryPointReadsTheKernelsExport) {
  SharedLibrary library = SharedLibrary::Open(
      (layout_.layout().installDir + "/" + kBiosInfoLibrary).c_str(), RTLD_NOW);
  ASSERT_TRUE(library);
  auto plain = reinterpret_cast<GetFullBIOSInfoFn>(library.Symbol("GetFullBIOSInfo"));
  auto from = reinterpret_cast<GetFullBIOSInfoFromFn>(library.Symbol(kBiosInfoFromDirectory));
  auto Data = [](auto query) {
    unsigned short size = 0;
    if (!query(nullptr, &size)) return std::string("(failed)");
    std::string data(size, '\0');
    if (!query(data.data(), &size)) return std::string("(failed)");
    return data.substr(0, size);
  };
  EXPECT_EQ(Data(plain), Data([from](void* buffer, unsigned short* size) {
              return from("/sys/class/dmi/id", buffer, size);
            }));
}

TEST_F(BiosInfoLibraryTest, MissingOrForeignLibraryIsFatal) {
  test::TempDir dir;
  layout_.layout().installDir = dir.path();
  AttrTable record(kDeviceInfoSlots);
  {
    test::LogCapture log;
    EXPECT_FALSE(GetSMBIOSInfo(layout_, record));
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
  EXPECT_FALSE(GetSMBIOSInfo(layout_, record));
  EXPECT_EQ(log.lines(), (std::vector<std::pair<int, std::string>>{
                             {kLogFatal,
                              "Failed to get address of GetFullBIOSInfo from Library "
                              "biosinfo.so"}}));
  EXPECT_TRUE(record.empty());
}

}  // namespace
}  // namespace dusk
