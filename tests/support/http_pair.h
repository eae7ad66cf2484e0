#ifndef DUSK_TESTS_SUPPORT_HTTP_PAIR_H_
#define DUSK_TESTS_SUPPORT_HTTP_PAIR_H_

// A session of the HTTP client connected to a socketpair, whose other end
// the test plays the server on byte by byte.

#include "http/http_session.h"
#include "util/unique_fd.h"

namespace dusk::test {

/// Connects |session| to a fresh socketpair and returns the server's end.
UniqueFd AdoptSocketPair(HttpSession& session);

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_HTTP_PAIR_H_
