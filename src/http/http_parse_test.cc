#include "http/http_parse.h"

#include <gtest/gtest.h>

#include <climits>

#include "http/http_errors.h"
#include "http/http_timeouts.h"

namespace dusk {
namespace {

TEST(HttpParseTest, StatusLine) {
  struct Row {
    const char* line;
    std::optional<int> status;
  } rows[] = {
      {"HTTP/1.1 404 Not Found", 404},
      {"HTTP/1.0 200 OK", 200},
      {"HTTP/1.9 200", 200},
      {"HTTP/1.0\t302", 302},
      {"HTTP/1.0200 OK", std::nullopt},  // the version swallows the digits
      {"HTTP/1.0 2001", 200},            // three characters at most
      {"HTTP/1.0 +42", 42},              // the sign is one of the three
      {"HTTP/1.0 OK", std::nullopt},
      {"HTTP/1.0 ", std::nullopt},
      {"HTTP/1.x 200", std::nullopt},
      {"HTTP/2 200", std::nullopt},
      {"http/1.0 200", std::nullopt},
      {"ICY 200 OK", std::nullopt},
      {"HTTP/1.0 -6", std::nullopt},  // would read as a client code
      {"HTTP/1.0 000", std::nullopt},
      {"HTTP/1.99999999999999999999 500", 500},
      {"", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ScanStatusLine(row.line), row.status);
  }
}

TEST(HttpParseTest, ContentLengthHeader) {
  struct Row {
    const char* line;
    std::optional<int> length;
  } rows[] = {
      {"Content-Length: 12", 12},
      {"CONTENT-LENGTH:42", 42},
      {"content-length: \t 7 bytes", 7},
      {"Content-Length: -5", -5},
      {"Content-Length: 99999999999", INT_MAX},
      {"Content-Length: abc", std::nullopt},
      {"Content-Length : 12", std::nullopt},
      {"Content-Type: text/plain", std::nullopt},
      {"X-Content-Length: 12", std::nullopt},
      {"Content-Length:", std::nullopt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    EXPECT_EQ(ScanContentLength(row.line), row.length);
  }
}

TEST(HttpParseTest, CutLineSpendsTheBudgetOnEveryByte) {
  struct Row {
    const char* name;
    std::string input;
    size_t budget;
    std::string line;
    size_t consumed;
    bool ended;
  } rows[] = {
      {"line feed ends", "abc\r\nrest", 511, "abc", 5, true},
      {"CRs dropped anywhere", "a\rb\r\r\n", 511, "ab", 6, true},
      {"needs more input", "abc", 511, "abc", 3, false},
      {"budget cuts, CRs counted", "\r\r\rabcdef\n", 5, "ab", 5, false},
      {"LF on the last byte of the budget", "abcd\n", 5, "abcd", 5, true},
      {"empty line", "\r\nx", 511, "", 2, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string line;
    LineCut cut = CutLine(row.input, row.budget, &line);
    EXPECT_EQ(line, row.line);
    EXPECT_EQ(cut.consumed, row.consumed);
    EXPECT_EQ(cut.ended, row.ended);
  }
}

TEST(HttpParseTest, RequestHead) {
  struct Row {
    const char* name;
    const char* verb;
    std::string url;
    std::string headers;
    size_t length;
    std::string head;
  } rows[] = {
      {"plain GET", "GET", "/a?b=c", "", 0, "GET /a?b=c HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\n\r\n"},
      {"POST with headers and body", "POST", "/p", "Accept: text/*\r\nUser-Agent: DUSK 1.0\r\n", 17,
       "POST /p HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\nAccept: text/*\r\nUser-Agent: DUSK 1.0\r\n"
       "Content-length: 17\r\n\r\n"},
      {"POST without body", "POST", "/p", "", 0, "POST /p HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\n\r\n"},
      {"URL of 300 characters", "GET", "/" + std::string(299, 'u'), "", 0,
       "GET /" + std::string(255, 'u') + " HTTP/1.0\r\nUser-Agent: DUSK 1.0\r\n\r\n"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    EXPECT_EQ(BuildRequestHead(row.verb, row.url, row.headers, row.length), row.head);
  }
  EXPECT_STREQ(HttpVerbWord(kHttpGet), "GET");
  EXPECT_STREQ(HttpVerbWord(kHttpPost), "POST");
  EXPECT_EQ(HttpVerbWord(2), nullptr);
}

TEST(HttpParseTest, ExtraHeadersStopAt511Characters) {
  std::string headers;
  AppendExtraHeaders(&headers, std::string(500, 'a'));
  AppendExtraHeaders(&headers, "0123456789ABCDEF");
  EXPECT_EQ(headers, std::string(500, 'a') + "0123456789A");
  AppendExtraHeaders(&headers, "more");
  EXPECT_EQ(headers.size(), kHttpExtraHeadersMax);
}

TEST(HttpParseTest, ErrorTexts) {
  struct Row {
    int code;
    const char* text;
  } rows[] = {
      {-1, "Bad host specified"},       {-2, "Cannot create socket"},
      {-3, "Cannot connect to host"},   {-4, "Write error while writing header"},
      {-5, "Write error while writing data"}, {-6, "Read error while reading header"},
      {-7, "Invalid header read"},      {-8, "Null data pointer"},
      {-9, "No or bad Length in header"}, {-10, "Failed to allocate memory"},
      {-11, "Read error while reading data"}, {-12, "Invalid URL specified"},
      {-13, "Invalid Port specified"},  {-14, "Invalid Http Session"},
      {-15, "Invalid Http Verb Specified"}, {0, "Successful"},
      {200, "Resource succesfully read"}, {201, "Resource succesfully created"},
      {400, "Invalid query"},           {403, "Forbidden"},
      {404, "Not Found"},               {408, "Request Timed out"},
      {411, "Length Required"},         {500, "Server error"},
      {501, "Not implemented"},         {503, "Service overloaded"},
      {302, "Unknown Http Error"},      {-16, "Unknown Http Error"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.code);
    EXPECT_STREQ(HttpErrorText(row.code), row.text);
  }
}

TEST(HttpParseTest, BodyDeadlineGrowsWithTheBytesReceived) {
  using std::chrono::milliseconds;
  Timings timings;
  timings.http_body_grace = milliseconds(60'000);
  timings.http_body_min_rate = 1024;
  std::chrono::steady_clock::time_point start{};
  struct Row {
    uint64_t received;
    milliseconds after_start;
  } rows[] = {
      {0, milliseconds(60'000)},
      {512, milliseconds(60'500)},
      {1024 * 100, milliseconds(160'000)},
      {UINT64_MAX, milliseconds(60'000 + (int64_t{1} << 40))},  // capped, no wrap
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.received);
    EXPECT_EQ(HttpBodyDeadline(start, row.received, timings) - start, row.after_start);
  }
}

}  // namespace
}  // namespace dusk
