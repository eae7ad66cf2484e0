// Arbitrary bytes as a server's answer: they wait in a socketpair, closed
// behind them, while the client sends its request, reads the status line
// and headers, and reads the body. The first byte picks the request and
// how the body is read, so both readers meet every kind of answer.

#include <cstdint>
#include <string>

#include "answer_session.h"
#include "http/http_session.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  size_t answer_size = size - 1;

  dusk::HttpSession session;
  dusk::UniqueFd server = dusk::fuzz::AdoptAnswer(session, data + 1, answer_size);
  if (!server) return 0;

  if (mode & 1) {
    dusk::HttpAddHeaders(session, "Accept: text/*\r\nContent-type: application/x-tcl-list\r\n");
    dusk::HttpSendRequest(session, dusk::kHttpPost, "/proc/vmp/register", "hostname pc01");
  } else {
    dusk::HttpSendRequest(session, dusk::kHttpGet, "/media/file");
  }
  dusk::HttpGetStatus(session);
  dusk::HttpGetContentLength(session);
  if (mode & 2) {
    std::string line;
    while (dusk::HttpReadLine(session, &line)) {
      if (line.size() > dusk::kHttpBodyLineBudget) __builtin_trap();
    }
  } else {
    char piece[2047];
    size_t total = 0;
    while (size_t got = dusk::HttpReadData(session, piece, sizeof piece)) {
      if (got > sizeof piece) __builtin_trap();
      total += got;
    }
    if (total > answer_size) __builtin_trap();
  }
  dusk::HttpClose(session);
  return 0;
}
