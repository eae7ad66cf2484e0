#include "device/device_record.h"

#include <sys/mount.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "config/config_file.h"
#include "device/device_info.h"
#include "log/log.h"
#include "support/test_layout.h"
#include "support/test_util.h"

namespace dusk {
namespace {

using Lines = std::vector<std::pair<int, std::string>>;

std::string Stored(const std::string& key) {
  std::string value;
  ReadConfigValue(ConfigSection::kDeviceInfo, key, &value);
  return value;
}

/// A template whose bytes all differ from their neighbours and from zero,
/// so a byte written in the wrong place shows.
std::string MakeTemplate(size_t size) {
  std::string bytes(size, '\0');
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(1 + i % 251);
  return bytes;
}

TEST(AgentObjectTest, DnPatchedIntoTheTemplateByteByByte) {
  const std::string object = MakeTemplate(5000);
  struct Case {
    std::string dn;
    size_t zeros;  // zero bytes after the DN
  } cases[] = {
      {"cn=dev0001", 6},            // 10 bytes
      {"cn=device-000001", 0},      // 16 bytes
      {"cn=dev001.o=kesta.tc", 4},  // 20 bytes
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dn);
    const std::string result = BuildAgentObject(object, c.dn);
    ASSERT_EQ(result.size(), 5000u);
    const size_t dn_end = 4112 + c.dn.size();
    for (size_t i = 0; i < result.size(); ++i) {
      char expected = object[i];
      if (i == 18 || i == 34)
        expected = static_cast<char>(c.dn.size());
      else if (i >= 4112 && i < dn_end)
        expected = c.dn[i - 4112];
      else if (i >= dn_end && i < dn_end + c.zeros)
        expected = '\0';
      ASSERT_EQ(result[i], expected) << "byte " << i;
    }
  }
}

TEST(AgentObjectTest, PaddingAndLengthRules) {
  const std::pair<size_t, size_t> paddings[] = {{1, 15}, {10, 6},  {15, 1}, {16, 0},
                                                {20, 4}, {31, 15}, {32, 0}, {255, 15}};
  for (const auto& [length, padding] : paddings) {
    SCOPED_TRACE(length);
    EXPECT_EQ(AgentDnPadding(length), padding);
  }
  // A DN running past the template's end makes the file longer.
  const std::string object = MakeTemplate(4120);
  const std::string result = BuildAgentObject(object, std::string(20, 'd'));
  EXPECT_EQ(result, object.substr(0, 18) + '\x14' + object.substr(19, 15) + '\x14' +
                        object.substr(35, 4112 - 35) + std::string(20, 'd') +
                        std::string(4, '\0'));
}

// The configuration and the agent's files as an installed device has them.
class DeviceRecordTest : public ::testing::Test {
 protected:
  void SetUp() override { Reset(); }
  void TearDown() override { LogLevel(kLogInfo); }

  void Reset() {
    for (const std::string& dir : {install_path_, object_dir_}) {
      std::filesystem::remove_all(dir);
      std::filesystem::create_directories(dir);
    }
    test::WriteFile(layout_.conf(),
                    "[Application]\nInstallPath=" + install_path_ +
                        "\n"
                        "[DeviceInfo]\ndevdn=cn=old\nhostname=pc01\n"
                        "operatingsystemservicepack=\n");
    test::WriteFile(template_, object_);
  }

  const std::string object_ = MakeTemplate(5000);
  test::TestLayout layout_;
  /// InstallPath of the configuration, which holds the template.
  const std::string install_path_ = layout_.On("/opt/kesta/dusk");
  const std::string template_ = install_path_ + "/NULLKMA.QDX";
  const std::string object_dir_ = layout_.layout().agentObjectDir;
  const std::string target_ = object_dir_ + "/KMA.QDX";
};

// On a full disk the new object file cannot be written: the old one stays
// whole, and the log says why.
TEST_F(DeviceRecordTest, FullDiskKeepsTheOldObjectFile) {
  DUSK_REQUIRE_SANDBOX("a small tmpfs mounted over the object file's directory");
  // Three pages: two of other files, one of the old object file.
  const std::string old_object = "old object";
  ASSERT_EQ(mount("dusk-full", object_dir_.c_str(), "tmpfs", 0, "size=12k"), 0);
  test::WriteFile(object_dir_ + "/other", std::string(8192, 'o'));
  test::WriteFile(target_, old_object);
  test::LogCapture log;
  UpdateAgentDeviceDn(layout_, "cn=new");
  const std::string left = test::ReadFile(target_);
  EXPECT_EQ(umount(object_dir_.c_str()), 0);
  EXPECT_EQ(left, old_object);
  EXPECT_TRUE(log.Has(kLogError, "Failed to Write content to file " + target_ +
                                     " - Error (28): No space left on device"));
}

TEST_F(DeviceRecordTest, SetDeviceDnStoresAndRewritesTheObjectFile) {
  test::WriteFile(target_, "old object");
  const std::string dn = "cn=dev001.o=kesta.tc";
  SetDeviceDn(layout_, dn);
  EXPECT_EQ(Stored("devdn"), dn);
  EXPECT_EQ(test::ReadFile(target_), BuildAgentObject(object_, dn));

  // RefreshAgentDeviceDn writes the stored DN again.
  std::filesystem::remove(target_);
  RefreshAgentDeviceDn(layout_);
  EXPECT_EQ(test::ReadFile(target_), BuildAgentObject(object_, dn));
}

TEST_F(DeviceRecordTest, ObjectFileNotWritten) {
  const std::string keep = "<keep>", none = "<none>";
  struct Case {
    const char* row;
    std::string conf;    // "" keeps the fixture's
    std::string object;  // the template; |keep| or |none| for no template
    bool agent;          // the agent's directory exists
    std::string dn;
    Lines lines;
    bool old_kept;  // the old object file is still there
  } cases[] = {
      {"agent not installed", "", keep, false, "cn=x", {}, false},
      {"empty DN", "", keep, true, "", {}, true},
      {"no InstallPath",
       "[Application]\n",
       keep,
       true,
       "cn=x",
       {{kLogWarn, "Failed to Get Config Value from Key InstallPath"},
        {kLogError, "Invalid KESTA-DUSK Installation"}},
       true},
      {"no template",
       "",
       none,
       true,
       "cn=x",
       {{kLogWarn, "Missing NULLKMA.QDX File, Cannot update KESTA Agent's KMA.QDX"}},
       true},
      {"empty template", "", "", true, "cn=x", {}, true},
      {"template too short",
       "",
       MakeTemplate(4111),
       true,
       "cn=x",
       {{kLogError,
         "Template " + template_ + " is too short (4111 bytes, needs 4112), "
         "Cannot update KESTA Agent's KMA.QDX"}},
       true},
      {"DN too long for its length byte",
       "",
       keep,
       true,
       std::string(256, 'd'),
       {{kLogError,
         "Device DN of 256 bytes is too long, Cannot update KESTA Agent's KMA.QDX"}},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    Reset();
    if (!c.conf.empty()) test::WriteFile(layout_.conf(), c.conf);
    if (c.object == none)
      std::filesystem::remove(template_);
    else if (c.object != keep)
      test::WriteFile(template_, c.object);
    if (c.agent)
      test::WriteFile(target_, "old object");
    else
      std::filesystem::remove_all(object_dir_);
    test::LogCapture log;
    UpdateAgentDeviceDn(layout_, c.dn);
    EXPECT_EQ(log.lines(), c.lines);
    EXPECT_EQ(std::filesystem::exists(target_), c.old_kept);
    if (c.old_kept) {
      EXPECT_EQ(test::ReadFile(target_), "old object");
    }
  }
}

TEST_F(DeviceRecordTest, SetDeviceDnKeepsTheDnWhenTheTemplateIsTooShort) {
  test::WriteFile(template_, MakeTemplate(100));
  SetDeviceDn(layout_, "cn=new");
  EXPECT_EQ(Stored("devdn"), "cn=new");
  EXPECT_FALSE(std::filesystem::exists(target_));
}

TEST_F(DeviceRecordTest, StoreWritesOnlyWhatChanged) {
  struct Case {
    const char* row;
    std::vector<std::pair<std::string, std::string>> record;
    std::vector<std::string> written;  // "Updated Registry Key" lines
    bool object_written;
  } cases[] = {
      {"identical", {{"hostname", "pc01"}, {"devdn", "cn=old"}}, {}, false},
      {"other attributes changed",
       {{"hostname", "pc02"}, {"devdn", "cn=old"}, {"ipaddress", "10.1.2.3"}},
       {"Updated Registry Key hostname with Value \"pc02\"",
        "Updated Registry Key ipaddress with Value \"10.1.2.3\""},
       false},
      {"devdn changed",
       {{"devdn", "cn=new"}, {"hostname", "pc01"}},
       {"Updated Registry Key devdn with Value \"cn=new\""},
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.row);
    Reset();
    AttrTable record(kDeviceInfoSlots);
    for (const auto& [name, value] : c.record) record.Set(name, value);
    test::LogCapture log;
    EXPECT_TRUE(StoreDeviceInfoToReg(layout_, record));
    std::vector<std::string> written;
    for (const auto& [level, message] : log.lines())
      if (message.rfind("Updated Registry Key", 0) == 0) written.push_back(message);
    EXPECT_EQ(written, c.written);
    EXPECT_EQ(std::filesystem::exists(target_), c.object_written);
    for (const auto& [name, value] : c.record) EXPECT_EQ(Stored(name), value) << name;
  }
}

TEST_F(DeviceRecordTest, ReadBackAndCompare) {
  AttrTable stored(kDeviceInfoSlots);
  LogLevel(kLogTrace);
  test::LogCapture log;
  EXPECT_TRUE(GetDeviceInfoFromReg(stored));
  ASSERT_EQ(stored.size(), 16);
  EXPECT_EQ(stored.entries()[0].name, "devdn");
  EXPECT_EQ(stored.entries()[0].value, "cn=old");
  EXPECT_EQ(stored.entries()[1].value, "pc01");
  EXPECT_EQ(stored.entries()[15].name, "smenclosureassettagnumber");
  EXPECT_EQ(stored.entries()[15].value, "");
  EXPECT_EQ(log.lines()[0],
            (std::pair<int, std::string>{kLogTrace, "GetDeviceInfoFromReg:"}));

  // Without operatingsystemservicepack, devdn or the other missing ones:
  // they compare as empty.
  AttrTable current(kDeviceInfoSlots);
  current.Set("devdn", "cn=old");
  current.Set("hostname", "pc01");
  std::string differences;
  log.Clear();
  EXPECT_TRUE(DevicesMatch(current, stored, &differences));
  EXPECT_EQ(differences, "");
  EXPECT_EQ(log.lines(),
            (Lines{{kLogTrace, "DevicesMatch:"}, {kLogTrace, "DevicesMatch:"}}));

  current.Set("hostname", "PC01");
  current.Set("ipaddress", "10.1.2.3");
  EXPECT_FALSE(DevicesMatch(current, stored, &differences));
  EXPECT_EQ(differences, "hostname ipaddress");
}

}  // namespace
}  // namespace dusk
