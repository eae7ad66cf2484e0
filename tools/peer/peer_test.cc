#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <thread>
#include <vector>

#include <filesystem>
#include <fstream>

#include "crypto/protected_value.h"
#include "peer/peer_faults.h"
#include "peer/peer_request.h"
#include "peer/peer_rexec.h"
#include "peer/peer_server.h"
#include "peer/peer_state.h"
#include "peer/peer_tcl.h"
#include "util/unique_fd.h"

namespace dusk::peer {
namespace {

class ScratchDir {
 public:
  ScratchDir() {
    char pattern[] = "/tmp/kesta-peer-test.XXXXXX";
    path_ = mkdtemp(pattern);
  }
  ~ScratchDir() { std::filesystem::remove_all(path_); }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void Write(const std::string& path, const std::string& content) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << content;
}

std::string Read(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(PeerRequestTest, Heads) {
  struct Row {
    const char* name;
    std::string head;
    bool ok;
    std::string path, query;
  } rows[] = {
      {"probe", "GET /proc/Zelmar?a=b&c=d HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\n\r\n", true,
       "/proc/Zelmar", "a=b&c=d"},
      {"bare LF", "POST /p HTTP/1.0\nContent-length: 3\n\n", true, "/p", ""},
      {"no version", "GET /\r\n\r\n", false, "", ""},
      {"not HTTP", "GET / SPDY/3\r\n\r\n", false, "", ""},
      {"header without colon", "GET / HTTP/1.0\r\nbroken\r\n\r\n", false, "", ""},
      {"garbage", std::string("\x16\x03\x01\0\xff", 5) + "\r\n\r\n", false, "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Request request;
    EXPECT_EQ(ParseHead(row.head, &request), row.ok);
    if (!row.ok) continue;
    EXPECT_EQ(request.path, row.path);
    EXPECT_EQ(request.query, row.query);
  }
}

TEST(PeerRequestTest, BodyLength) {
  struct Row {
    const char* header;
    std::optional<size_t> length;
  } rows[] = {
      {"", 0},
      {"Content-length: 17\r\n", 17},
      {"CONTENT-LENGTH:   5\r\n", 5},
      {"Content-Length: -5\r\n", std::nullopt},
      {"Content-Length: 99999999999\r\n", std::nullopt},
      {"Content-Length: 16777217\r\n", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.header);
    Request request;
    ASSERT_TRUE(ParseHead(std::string("POST / HTTP/1.0\r\n") + row.header + "\r\n", &request));
    EXPECT_EQ(AnnouncedBodyLength(request), row.length);
  }
}

TEST(PeerFaultsTest, FileFormat) {
  std::vector<std::string> errors;
  std::vector<Fault> faults = ParseFaults(
      "# comment\n"
      "/proc/Zelmar status 403\n"
      "\n"
      "* stall 5 times=2\r\n"
      "/a empty200\n"
      "/b status\n"
      "/c status abc\n"
      "/d empty200 9\n"
      "/e dance\n"
      "/proc/vmp/register dn cn=given,o=k times=1\n"
      "/f dn\n"
      "/g short-body 10\n"
      "/h long-body\n"
      "/i stall-halfway 1x\n"
      "/j stall-halfway\n",
      &errors);
  ASSERT_EQ(faults.size(), 6u);
  EXPECT_EQ(faults[4].mode, FaultMode::kShortBody);
  EXPECT_EQ(faults[4].arg, "10");
  EXPECT_EQ(faults[5].mode, FaultMode::kStallHalfway);
  EXPECT_EQ(faults[5].arg, "");
  EXPECT_EQ(faults[3].mode, FaultMode::kDn);
  EXPECT_EQ(faults[3].arg, "cn=given,o=k");
  EXPECT_EQ(faults[3].times, 1);
  EXPECT_EQ(faults[0].path, "/proc/Zelmar");
  EXPECT_EQ(faults[0].mode, FaultMode::kStatus);
  EXPECT_EQ(faults[0].arg, "403");
  EXPECT_EQ(faults[1].mode, FaultMode::kStall);
  EXPECT_EQ(faults[1].times, 2);
  EXPECT_EQ(faults[2].mode, FaultMode::kEmpty200);
  EXPECT_EQ(errors, (std::vector<std::string>{
                        "faults: mode status needs an argument: /b status",
                        "faults: mode status needs a number: /c status abc",
                        "faults: mode empty200 takes no argument: /d empty200 9",
                        "faults: unknown mode dance: /e dance",
                        "faults: mode dn needs an argument: /f dn",
                        "faults: mode long-body needs an argument: /h long-body",
                        "faults: mode stall-halfway needs a number: /i stall-halfway 1x",
                    }));
}

TEST(PeerFaultsTest, LimitedFaultsRunOutAndStartAfreshWithANewFile) {
  FaultBook book;
  book.Load("/p status 503 times=2\n* status 404\n");
  EXPECT_EQ(book.Take("/p", "/p?x")->arg, "503");
  EXPECT_EQ(book.Take("/p", "/p")->arg, "503");
  EXPECT_EQ(book.Take("/p", "/p")->arg, "404");
  book.Load("/p status 503 times=2\n* status 404\n");
  EXPECT_EQ(book.Take("/p", "/p")->arg, "404");
  book.Load("/p status 503 times=1\n");
  EXPECT_EQ(book.Take("/p", "/p")->arg, "503");
  EXPECT_FALSE(book.Take("/p", "/p"));
  EXPECT_FALSE(book.Take("/q", "/q"));
}

TEST(PeerTclTest, Elements) {
  EXPECT_EQ(SplitTclList("hostname pc01 fullname {a b} empty {} nested {x {y z}} devdn  "
                         "cn=pc01,o=k"),
            (std::vector<std::string>{"hostname", "pc01", "fullname", "a b", "empty", "",
                                      "nested", "x {y z}", "devdn", "cn=pc01,o=k"}));
  EXPECT_EQ(SplitTclList("a {open"), (std::vector<std::string>{"a"}));
  EXPECT_EQ(SplitTclList("  "), std::vector<std::string>{});
  std::vector<std::string> elements = SplitTclList("devdn old hostname h devdn  new");
  EXPECT_EQ(TclAttr(elements, "devdn"), "new");
  EXPECT_EQ(TclAttr(elements, "missing"), std::nullopt);
}

TEST(PeerTclTest, QuotingAndFaultsAsTclReadsThem) {
  struct Case {
    const char* list;
    std::vector<std::string> elements;
    const char* error;
  } cases[] = {
      {"a\\ b \\{x \\\\ c\\nd", {"a b", "{x", "\\", "c\nd"}, ""},
      {"{a\\{b} {x\\\ny}", {"a\\{b", "x\\\ny"}, ""},
      {"\"q {\\\"\" x;y$[z]", {"q {\"", "x;y$[z]"}, ""},
      {"\\x41\\u00e9\\101", {"A\xc3\xa9" "A"}, ""},
      {"{abc", {}, "unmatched open brace in list"},
      {"{a}b", {}, "list element in braces followed by \"b\" instead of space"},
      {"ok \"open", {"ok"}, "unmatched open quote in list"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.list);
    std::vector<std::string> elements;
    std::string error;
    EXPECT_EQ(ParseTclList(c.list, &elements, &error), *c.error == '\0');
    EXPECT_EQ(elements, c.elements);
    EXPECT_EQ(error, c.error);
  }
}

TEST(PeerTclTest, AttributePairs) {
  using Pairs = std::vector<std::pair<std::string, std::string>>;
  EXPECT_EQ(TclAttrPairs("hostname pc01 kmadir {} data {kesta-dusk {status started fullname "
                         "{KESTA Quillfarm}}} devdn  {cn=a b} last"),
            (Pairs{{"hostname", "pc01"},
                   {"kmadir", ""},
                   {"data", "kesta-dusk {status started fullname {KESTA Quillfarm}}"},
                   {"devdn", "cn=a b"},
                   {"last", ""}}));
  // The nested data reads back the same way.
  EXPECT_EQ(TclAttrPairs("kesta-dusk {status started fullname {KESTA Quillfarm}}"),
            (Pairs{{"kesta-dusk", "status started fullname {KESTA Quillfarm}"}}));
}

TEST(PeerServerTest, GivenDnAndTheRecordOfAttributes) {
  ScratchDir dir;
  PeerState state(dir.path());
  Request request;
  request.method = "POST";
  request.path = "/proc/vmp/startup";
  request.body = "hostname pc01 devdn  cn=old,o=k";
  Answer answer = Route(request, PeerConfig(), state, std::string("cn=given,o=k"));
  EXPECT_EQ(answer.status, 200);
  EXPECT_EQ(answer.body, "cn=given,o=k\n");
  EXPECT_EQ(Read(dir.path() + "/devices/cn=given,o=k"), request.body);
  EXPECT_TRUE(IsRegistrationPath("/proc/vmp/unregister"));
  EXPECT_FALSE(IsRegistrationPath("/proc/Zelmar"));
  ASSERT_TRUE(state.RecordAttrs(7, "hostname pc01 kmadir {} sender {a b}"));
  EXPECT_EQ(Read(dir.path() + "/requests/0007.attrs"), "hostname pc01\nkmadir \nsender a b\n");
}

TEST(PeerServerTest, Registration) {
  ScratchDir dir;
  PeerState state(dir.path());
  PeerConfig config;
  struct Row {
    const char* name;
    std::string method, path, body;
    int status;
    std::string answer;
    std::string stored_as;  // device file name, "" when nothing is stored
  } rows[] = {
      {"register without DN", "POST", "/proc/vmp/register", "hostname pc01 ipaddress 10.1.2.3",
       200, "cn=pc01,ou=devices,o=kesta\n", "cn=pc01,ou=devices,o=kesta"},
      {"register with DN", "POST", "/proc/vmp/register", "hostname pc02 devdn  cn=x,o=k", 200,
       "cn=x,o=k\n", "cn=x,o=k"},
      {"startup keeps DN", "POST", "/proc/vmp/startup",
       "hostname pc03 devdn {cn=a b,o=k} kmabuild NA devdn  {cn=a b,o=k}", 200,
       "cn=a b,o=k\n", "cn=a%20b,o=k"},
      {"no hostname", "POST", "/proc/vmp/status", "", 200, "cn=unknown,ou=devices,o=kesta\n",
       "cn=unknown,ou=devices,o=kesta"},
      {"GET of a registration path", "GET", "/proc/vmp/register", "", 400, "POST expected\n",
       ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Request request;
    request.method = row.method;
    request.path = row.path;
    request.body = row.body;
    Answer answer = Route(request, config, state);
    EXPECT_EQ(answer.status, row.status);
    EXPECT_EQ(answer.body, row.answer);
    if (!row.stored_as.empty()) {
      EXPECT_EQ(Read(dir.path() + "/devices/" + row.stored_as), row.body);
      EXPECT_EQ(Read(dir.path() + "/devices/" + row.stored_as + ".last"),
                row.path.substr(10) + "\n");
    }
  }
}

TEST(PeerServerTest, ProbeAndMedia) {
  ScratchDir dir;
  PeerState state(dir.path() + "/state");
  PeerConfig config;
  config.zone = "east";
  config.media_dir = dir.path() + "/media";
  Write(config.media_dir + "/agent/MediaContent.mcfl", "list");
  Write(dir.path() + "/secret", "secret");
  std::filesystem::create_symlink(dir.path() + "/secret", config.media_dir + "/link");
  struct Row {
    const char* name;
    std::string method, path;
    int status;
    std::string body, file;
  } rows[] = {
      {"probe", "GET", "/proc/Zelmar", 200, "ZelmarInfo.status: ok\nZelmarInfo.zone: east\n",
       ""},
      {"media file", "GET", "/agent/MediaContent.mcfl", 200, "",
       config.media_dir + "/agent/MediaContent.mcfl"},
      {"missing file", "GET", "/agent/nothing", 404, "Not Found\n", ""},
      {"directory", "GET", "/agent", 404, "Not Found\n", ""},
      {"traversal", "GET", "/agent/../../secret", 404, "Not Found\n", ""},
      {"link out of the media", "GET", "/link", 404, "Not Found\n", ""},
      {"POST of media", "POST", "/agent/MediaContent.mcfl", 501, "Not Implemented\n", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Request request;
    request.method = row.method;
    request.path = row.path;
    Answer answer = Route(request, config, state);
    EXPECT_EQ(answer.status, row.status);
    EXPECT_EQ(answer.body, row.body);
    EXPECT_EQ(answer.file, row.file);
  }
}

TEST(PeerServerTest, FaultsThatBendTheAnswer) {
  ScratchDir dir;
  PeerState state(dir.path() + "/state");
  PeerConfig config;
  config.media_dir = dir.path() + "/media";
  Write(config.media_dir + "/f", "abcdefgh");
  const Answer file{200, "application/octet-stream", "", ""};
  struct Row {
    const char* fault;
    std::string sent;  // everything the client gets
    bool held;         // the connection stays open until the client leaves
  } rows[] = {
      {"", AnswerHead(file, 8) + "abcdefgh", false},
      {"/f short-body 5", AnswerHead(file, 13) + "abcdefgh", false},
      {"/f long-body 3", AnswerHead(file, 8) + "abcdefgh+++", false},
      {"/f stall-halfway", AnswerHead(file, 8) + "abcd", true},
      {"/f stall-halfway 0", AnswerHead(file, 8) + "abcd", false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.fault);
    ASSERT_TRUE(WriteFileAtomically(state.dir() + "/faults", row.fault));
    FaultBook faults;
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends), 0);
    UniqueFd client(ends[0]);
    std::thread server(
        [&, end = ends[1]] { ServeConnection(UniqueFd(end), config, state, faults); });
    const std::string request = "GET /f HTTP/1.0\r\n\r\n";
    ASSERT_EQ(write(client.get(), request.data(), request.size()),
              static_cast<ssize_t>(request.size()));
    std::string got(row.sent.size(), '\0');
    size_t have = 0;
    while (have < got.size()) {
      ssize_t n = read(client.get(), got.data() + have, got.size() - have);
      if (n <= 0) break;
      have += static_cast<size_t>(n);
    }
    got.resize(have);
    EXPECT_EQ(got, row.sent);
    // What follows: the end at once, or, while held, nothing at all.
    struct pollfd entry = {client.get(), POLLIN, 0};
    EXPECT_EQ(poll(&entry, 1, row.held ? 200 : 10'000), row.held ? 0 : 1);
    shutdown(client.get(), SHUT_WR);
    char more;
    EXPECT_EQ(read(client.get(), &more, 1), 0);
    server.join();
  }
}

TEST(PeerStateTest, RequestsAreNumberedAcrossRestarts) {
  ScratchDir dir;
  {
    PeerState state(dir.path());
    EXPECT_EQ(state.RecordRequest("first"), 1);
    EXPECT_EQ(state.RecordRequest(std::string("se\0cond", 7)), 2);
  }
  PeerState again(dir.path());
  EXPECT_EQ(again.RecordRequest("third"), 3);
  EXPECT_EQ(Read(dir.path() + "/requests/0002.txt"), std::string("se\0cond", 7));
  EXPECT_EQ(DeviceFileName("../x/y"), "%2E.%2Fx%2Fy");
}

TEST(PeerRexecTest, Options) {
  struct Row {
    std::vector<std::string> args;
    std::string error;
  } rows[] = {
      {{"--rexec", "10.0.0.2"}, ""},
      {{"--rexec", "10.0.0.2", "--port", "4465", "--protect", "user,command", "--bind",
        "10.0.0.1", "--timeout", "5"},
       ""},
      {{"--port", "4465"}, "--rexec needs a host"},
      {{"--rexec", "h", "--port", "0"}, "bad number for --port"},
      {{"--rexec", "h", "--port", "70000"}, "bad number for --port"},
      {{"--rexec", "h", "--protect", "user,pin"},
       "--protect takes port, user, password and command"},
      {{"--rexec", "h", "--bind", "host.example"}, "--bind needs a dotted IPv4 address"},
      {{"--rexec", "h", "--dn"}, "missing value for --dn"},
      {{"--rexec", "h", "--what", "x"}, "unknown option --what"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.args.size() > 2 ? row.args[2] : row.args[0]);
    RexecCall call;
    std::string error;
    EXPECT_EQ(ParseRexecCall(row.args, &call, &error), row.error.empty());
    EXPECT_EQ(error, row.error);
  }
  RexecCall call;
  std::string error;
  ASSERT_TRUE(ParseRexecCall({"--rexec", "h", "--port", "4465", "--protect", "user,command"},
                             &call, &error));
  EXPECT_EQ(call.port, 4465);
  EXPECT_EQ(call.protect, (std::set<std::string>{"user", "command"}));
}

TEST(PeerRexecTest, ParametersFromTheDnAndAsGiven) {
  RexecCall call;
  call.dn = "cn=fuzz,o=kesta";
  call.command = "InstallAgent -media /m";
  EXPECT_EQ(RexecCallBytes(call, "0"), std::string("0\0" "1E08CA07\0" "Qfjeg4N31Dg=\0"
                                                   "InstallAgent -media /m\0", 47));
  call.user = "";
  call.password = "pw";
  call.protect = {"password", "command"};
  EXPECT_EQ(RexecCallBytes(call, "4001"),
            "4001" + std::string(1, '\0') + std::string(1, '\0') + ProtectValue("pw", true) +
                '\0' + ProtectValue("InstallAgent -media /m", true) + '\0');
}

TEST(PeerRexecTest, CallPrintsTheStatusAndEverythingAfterIt) {
  // A device on a loopback port that reads the four parameters, calls the
  // error port back, answers and closes.
  UniqueFd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  struct sockaddr_in address = {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(bind(listener.get(), reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(listen(listener.get(), 1), 0);
  getsockname(listener.get(), reinterpret_cast<sockaddr*>(&address), &size);
  std::string received;
  std::thread device([&] {
    UniqueFd connection(accept(listener.get(), nullptr, nullptr));
    char byte;
    int nuls = 0;
    while (nuls < 4 && read(connection.get(), &byte, 1) == 1) {
      received.push_back(byte);
      nuls += byte == '\0';
    }
    UniqueFd error(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    struct sockaddr_in back = address;
    back.sin_port = htons(static_cast<uint16_t>(atoi(received.c_str())));
    connect(error.get(), reinterpret_cast<sockaddr*>(&back), sizeof back);
    const std::string answer = std::string(1, '\0') + "info {a b}\nevent x|y|\npartial";
    write(connection.get(), answer.data(), answer.size());
    write(error.get(), "oops\nend", 8);
  });
  RexecCall call;
  call.host = "127.0.0.1";
  call.port = ntohs(address.sin_port);
  call.bind_address = "127.0.0.1";
  call.error_port = kListenErrorPort;
  call.user = "u";
  call.password = "p";
  call.timeout_seconds = 10;
  char* text = nullptr;
  size_t length = 0;
  FILE* out = open_memstream(&text, &length);
  const int status = RunRexecCall(call, out);
  fclose(out);
  device.join();
  const std::string printed(text, length);
  free(text);
  EXPECT_EQ(status, kCallAccepted);
  EXPECT_EQ(received.substr(received.find('\0')), std::string("\0u\0p\0InstallAgent\0", 18));
  EXPECT_NE(printed.find("status 0x00\ninfo {a b}\nevent x|y|\npartial"), std::string::npos)
      << printed;
  EXPECT_NE(printed.find("error: oops\n"), std::string::npos) << printed;
  EXPECT_NE(printed.find("error: end\n"), std::string::npos) << printed;
}

}  // namespace
}  // namespace dusk::peer
