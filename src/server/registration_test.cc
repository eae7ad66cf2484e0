#include "server/registration.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "config/config_file.h"
#include "device/device_record.h"
#include "device/service_scan.h"
#include "log/log.h"
#include "support/loopback_peer.h"
#include "support/test_layout.h"
#include "support/test_util.h"
#include "util/attr_list.h"

namespace dusk {
namespace {

constexpr char kInstallPath[] = "/opt/kesta/dusk";

/// The sender attributes of a device installed in |install_path|.
std::string Sender(const std::string& install_path = kInstallPath) {
  return "kmabuild NA kmadir " + install_path +
         " sender dusk://10.1.2.3:3465;major=7;minor=8;build=33;revision=1";
}
const std::string kSender = Sender();

/// The fault that answers 200 with |dn| as the first line.
std::string DnFault(const std::string& dn) { return "* dn " + dn; }

/// A configuration with the server and |install_path| and |device_lines|
/// in [DeviceInfo].
std::string Conf(const std::string& device_lines,
                 const std::string& install_path = kInstallPath) {
  return "[Application]\nServerName=127.0.0.1\nInstallPath=" + install_path +
         "\n[DeviceInfo]\n" + device_lines + "[ServiceScan]\n";
}

const std::string kEmpty200 = "* empty200";
const std::string k404 = "* status 404";
/// An answer 200 whose first line is empty, which no fault but a raw
/// answer gives.
const std::string kEmptyFirstLine = "* raw empty-first-line";

class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record_.Set("hostname", "pc01");
    record_.Set("detectedipaddress", "10.1.2.3");
    scan_.Set("kesta-dusk", "status started path /d");
    scan_.Set("zelexecd", "");
  }

  /// Runs |call| against a peer answering as |fault| says for every path
  /// (on port_ and server_text_); the Info lines it logged, the
  /// configuration's own "Updated Registry Key" lines left out.
  std::vector<std::string> Exchange(const std::string& fault,
                                    const std::function<bool()>& call, bool* result) {
    test::LoopbackPeer server;
    server.WriteStateFile("empty-first-line", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\n\n");
    server.SetFaults(fault);
    port_ = std::to_string(server.port());
    server_text_ = "127.0.0.1:" + port_;
    test::LogCapture log;
    *result = call();
    const std::vector<std::string> requests = server.requests();
    request_ = requests.empty() ? "" : requests.back();
    served_ = static_cast<int>(requests.size());
    std::vector<std::string> lines;
    for (const auto& [level, message] : log.lines())
      if ((level == kLogInfo || level == kLogError) &&
          message.rfind("Updated Registry Key", 0) != 0)
        lines.push_back(message);
    return lines;
  }

  /// The body of the last request.
  std::string Body() const { return request_.substr(request_.find("\r\n\r\n") + 4); }

  std::string StoredValue(ConfigSection section, const std::string& key) {
    std::string value = "(missing)";
    ReadConfigValue(section, key, &value);
    return value;
  }

  test::TestLayout layout_;
  AttrTable record_{32};
  AttrTable scan_{10};
  std::string port_, server_text_, request_;
  int served_ = 0;
};

TEST_F(RegistrationTest, NeedToRegister) {
  // The device record as stored, apart from what a row changes.
  const std::string stored_record = "[DeviceInfo]\nhostname=pc01\ndetectedipaddress=10.1.2.3\n";
  struct Row {
    const char* name;
    std::string conf;
    std::string line;  // "" when no registration is needed
  } rows[] = {
      {"no DN", "[Application]\nServerName=peer\nServerPort=4000\n" + stored_record,
       "Need to Register - Can't get DevDn from Registry"},
      {"empty DN", "[Application]\nServerName=peer\nServerPort=4000\n" + stored_record + "devdn=\n",
       "Need to Register - DevDn is Empty"},
      {"no server name", "[Application]\nServerPort=4000\n" + stored_record + "devdn=cn=d\n",
       "Need to Register - Can't get ServerName from Registry"},
      {"other server", "[Application]\nServerName=Peer\nServerPort=4000\n" + stored_record +
                           "devdn=cn=d\n",
       "Need to Register - Targetting a Different Host peer than the Registered one Peer"},
      {"no server port", "[Application]\nServerName=peer\n" + stored_record + "devdn=cn=d\n",
       "Need to Register - Can't get ServerPort from Registry"},
      {"other port", "[Application]\nServerName=peer\nServerPort=04000\n" + stored_record +
                         "devdn=cn=d\n",
       "Need to Register - Targetting a Different Port 4000 than the Registered one 04000"},
      {"renamed device",
       "[Application]\nServerName=peer\nServerPort=4000\n[DeviceInfo]\nhostname=pc00\n"
       "detectedipaddress=10.1.2.3\ndevdn=cn=d\nsmsystemuuid=u\n",
       "Need to Register - Different Device Attributes found: hostname smsystemuuid"},
      {"registered", "[Application]\nServerName=peer\nServerPort=4000\n" + stored_record +
                         "devdn=cn=d\n",
       ""},
  };
  record_.Set("devdn", "cn=d");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::WriteFile(layout_.conf(), row.conf);
    test::LogCapture log;
    EXPECT_EQ(NeedToRegister("peer", "4000", record_), !row.line.empty());
    std::vector<std::string> info;
    for (const auto& [level, message] : log.lines())
      if (level == kLogInfo) info.push_back(message);
    EXPECT_EQ(info, row.line.empty() ? std::vector<std::string>{}
                                     : std::vector<std::string>{row.line});
  }
}

TEST_F(RegistrationTest, FirstRegistrationStoresTheDnAndTheAgentsObjectFile) {
  const std::string install_path = layout_.On(kInstallPath);
  test::WriteFile(layout_.conf(), Conf("", install_path));
  std::filesystem::create_directories(install_path);
  std::filesystem::create_directories(layout_.layout().agentObjectDir);
  test::WriteFile(install_path + "/NULLKMA.QDX", std::string(4200, 't'));
  bool ok = false;
  auto lines = Exchange(DnFault("cn=pc01,o=k"),
                        [&] { return Register(layout_, "127.0.0.1", port_, record_); }, &ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Registering Device with " + server_text_ + " ...",
                       "Sending Register Request to KESTA Server " + server_text_ +
                           "  @ URL /proc/vmp/register ...",
                       "Sent Register Request to KESTA Server " + server_text_,
                       "New DevDn: cn=pc01,o=k",
                       "Successfully Registered Device with " + server_text_,
                   }));
  // Nothing stored yet: no DN goes along.
  EXPECT_EQ(Body(), "hostname pc01 detectedipaddress 10.1.2.3 " + Sender(install_path));
  std::string dn;
  EXPECT_TRUE(record_.Get("devdn", &dn));
  EXPECT_EQ(dn, "cn=pc01,o=k");
  EXPECT_EQ(StoredValue(ConfigSection::kDeviceInfo, "devdn"), "cn=pc01,o=k");
  EXPECT_EQ(StoredValue(ConfigSection::kDeviceInfo, "hostname"), "pc01");
  const std::string object = test::ReadFile(layout_.layout().agentObjectDir + "/KMA.QDX");
  ASSERT_GE(object.size(), kAgentDnOffset + 11);
  EXPECT_EQ(object.substr(kAgentDnOffset, 11), "cn=pc01,o=k");
  EXPECT_EQ(object[kAgentDnLengthOffset1], 11);
}

TEST_F(RegistrationTest, RegisterAnswers) {
  const std::string too_long(300, 'x');
  struct Row {
    const char* name;
    std::string stored_dn;  // "(missing)" for no key
    std::string fault;
    bool ok;
    std::string dn_line;      // "DevDn: ..." or "New DevDn: ..." when registered
    std::string failure;      // the request's own failure line, if any
    std::string stored_after;
  } rows[] = {
      {"same DN", "cn=old", DnFault("cn=old"), true, "DevDn: cn=old", "", "cn=old"},
      {"other DN", "cn=old", DnFault("cn=new"), true, "New DevDn: cn=new", "", "cn=new"},
      {"200 without a body keeps the DN", "cn=old", kEmpty200, true, "DevDn: cn=old", "",
       "cn=old"},
      {"200 without a body and no DN", "(missing)", kEmpty200, false, "", "", "(missing)"},
      {"empty first line and no DN", "", kEmptyFirstLine, false, "", "", ""},
      {"404", "cn=old", k404, false, "",
       "Failed to Send Register Request to KESTA Server SERVER - Not Found", "cn=old"},
      {"300 characters", "cn=old", DnFault(too_long), false, "",
       "Failed to Send Register Request to KESTA Server SERVER - Answer is too long for a "
       "device DN (more than 255 characters)",
       "cn=old"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::WriteFile(layout_.conf(),
                    Conf(row.stored_dn == "(missing)" ? "" : "devdn=" + row.stored_dn + "\n"));
    AttrTable record(32);
    record.Set("hostname", "pc01");
    bool ok = false;
    auto lines = Exchange(row.fault, [&] { return Register(layout_, "127.0.0.1", port_, record); },
                          &ok);
    EXPECT_EQ(ok, row.ok);
    std::string failure = row.failure;
    if (!failure.empty()) failure.replace(failure.find("SERVER"), 6, server_text_);
    std::vector<std::string> expected = {
        "Registering Device with " + server_text_ + " ...",
        "Sending Register Request to KESTA Server " + server_text_ +
            "  @ URL /proc/vmp/register ..."};
    if (!failure.empty()) {
      expected.push_back(failure);
    } else {
      expected.push_back("Sent Register Request to KESTA Server " + server_text_);
    }
    if (row.ok) {
      expected.push_back(row.dn_line);
      expected.push_back("Successfully Registered Device with " + server_text_);
    } else {
      expected.push_back("Failed to Register Device with " + server_text_);
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(StoredValue(ConfigSection::kDeviceInfo, "devdn"), row.stored_after);
    // A known DN goes along, never an empty one.
    if (!row.stored_dn.empty() && row.stored_dn != "(missing)") {
      EXPECT_TRUE(Body().ends_with(" devdn  " + row.stored_dn)) << Body();
    } else {
      EXPECT_EQ(Body().find("devdn"), std::string::npos) << Body();
    }
  }
}

TEST_F(RegistrationTest, StartupUnderTheStoredDn) {
  struct Row {
    const char* name;
    std::string stored_dn;
    std::string fault;
    bool ok;
    std::vector<std::string> tail;  // lines after the request's own
    std::string stored_after;
  } rows[] = {
      {"same DN", "cn=old", DnFault("cn=old"), true,
       {"Successfully Started Device on SERVER"}, "cn=old"},
      {"200 without a body", "cn=old", kEmpty200, true,
       {"Successfully Started Device on SERVER"}, "cn=old"},
      {"renamed by the server", "cn=old", DnFault("cn=new"), true,
       {"Successfully Started Device on SERVER", "DevDn Changed to cn=new"}, "cn=new"},
      {"refused", "cn=old", k404, false, {}, "cn=old"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::WriteFile(layout_.conf(), Conf("devdn=" + row.stored_dn + "\nhostname=pc00\n"));
    AttrTable record(32);
    record.Set("hostname", "pc01");
    bool ok = false;
    auto lines =
        Exchange(row.fault, [&] { return Startup(layout_, "127.0.0.1", port_, record); }, &ok);
    EXPECT_EQ(ok, row.ok);
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Startup Device " + row.stored_dn + " on " + server_text_ + " ...");
    std::vector<std::string> tail(lines.begin() + 3, lines.end());
    std::vector<std::string> expected_tail = row.tail;
    for (std::string& line : expected_tail)
      if (line.find("SERVER") != std::string::npos)
        line.replace(line.find("SERVER"), 6, server_text_);
    EXPECT_EQ(tail, expected_tail);
    EXPECT_EQ(StoredValue(ConfigSection::kDeviceInfo, "devdn"), row.stored_after);
    // Startup stores no other attribute.
    EXPECT_EQ(StoredValue(ConfigSection::kDeviceInfo, "hostname"), "pc00");
    EXPECT_EQ(Body(), "hostname pc01 kmabuild NA kmadir /opt/kesta/dusk sender "
                      "dusk://localhost:3465;major=7;minor=8;build=33;revision=1 devdn  " +
                          row.stored_dn);
  }
}

TEST_F(RegistrationTest, NothingIsSentWithoutAStoredDn) {
  for (const char* stored : {"", "devdn=\n"}) {
    SCOPED_TRACE(stored);
    test::WriteFile(layout_.conf(), Conf(stored));
    bool ok = true;
    auto startup =
        Exchange(kEmpty200, [&] { return Startup(layout_, "127.0.0.1", port_, record_); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(startup, std::vector<std::string>{});
    EXPECT_EQ(served_, 0);
    auto status =
        Exchange(kEmpty200, [&] { return Status(layout_, "127.0.0.1", port_, record_, scan_); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(status,
              std::vector<std::string>{"Failed to Provide Status of Device to " + server_text_});
    EXPECT_EQ(served_, 0);
    auto unregister =
        Exchange(kEmpty200, [&] { return UnRegister("127.0.0.1", port_, record_); }, &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(unregister,
              std::vector<std::string>{"UnRegistering Device from " + server_text_ + " ..."});
    EXPECT_EQ(served_, 0);
  }
}

TEST_F(RegistrationTest, StatusCarriesTheScanAndStoresItOnSuccess) {
  struct Row {
    const char* name;
    std::string fault;
    bool ok;
    std::vector<std::string> tail;
    std::string stored_dn_after;
    std::string stored_scan_after;
  } rows[] = {
      {"accepted", DnFault("cn=old"), true,
       {"Sent Status Request to KESTA Server SERVER",
        "Successfully Updated Service Scan with SERVER"},
       "cn=old", "status started path /d"},
      {"renamed", DnFault("cn=new"), true,
       {"Sent Status Request to KESTA Server SERVER", "New DevDn: cn=new",
        "Successfully Updated Device Dn to cn=new",
        "Successfully Updated Service Scan with SERVER"},
       "cn=new", "status started path /d"},
      {"refused", k404,
       false,
       {"Failed to Send Status Request to KESTA Server SERVER - Not Found",
        "Failed to Provide Status of Device to SERVER"},
       "cn=old", "(missing)"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    test::WriteFile(layout_.conf(), Conf("devdn=cn=old\n"));
    AttrTable record = record_;
    bool ok = false;
    auto lines =
        Exchange(row.fault, [&] { return Status(layout_, "127.0.0.1", port_, record, scan_); }, &ok);
    EXPECT_EQ(ok, row.ok);
    std::vector<std::string> expected = {
        "Provide Status of Device cn=old to " + server_text_ + " ...",
        "Sending Status Request to KESTA Server " + server_text_ + "  @ URL /proc/vmp/status ..."};
    for (std::string line : row.tail) {
      if (line.find("SERVER") != std::string::npos)
        line.replace(line.find("SERVER"), 6, server_text_);
      expected.push_back(line);
    }
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Body(), std::string("hostname pc01 detectedipaddress 10.1.2.3 data {kesta-dusk "
                                  "{status started path /d}} ") +
                          kSender + " devdn  cn=old");
    EXPECT_EQ(StoredValue(ConfigSection::kDeviceInfo, "devdn"), row.stored_dn_after);
    EXPECT_EQ(StoredValue(ConfigSection::kServiceScan, "kesta-dusk"), row.stored_scan_after);
  }
}

TEST_F(RegistrationTest, UnRegisterKeepsTheStoredDn) {
  for (const std::string& fault : {DnFault("cn=other"), k404}) {
    SCOPED_TRACE(fault);
    test::WriteFile(layout_.conf(), Conf("devdn=cn=old\n"));
    bool ok = false;
    auto lines =
        Exchange(fault, [&] { return UnRegister("127.0.0.1", port_, record_); }, &ok);
    EXPECT_EQ(ok, fault != k404);
    EXPECT_EQ(lines.back(), ok ? "Successfully Unregistered Device from " + server_text_
                               : "Failed to Send UnRegister Request to KESTA Server " +
                                     server_text_ + " - Not Found");
    EXPECT_TRUE(request_.starts_with("POST /proc/vmp/unregister HTTP/1.0\r\n"));
    EXPECT_TRUE(Body().ends_with(" devdn  cn=old"));
    EXPECT_EQ(StoredValue(ConfigSection::kDeviceInfo, "devdn"), "cn=old");
  }
}

}  // namespace
}  // namespace dusk
