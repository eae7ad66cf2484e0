#ifndef DUSK_HTTP_HTTP_ERRORS_H_
#define DUSK_HTTP_HTTP_ERRORS_H_

// Result codes of the HTTP client. Client failures and HTTP statuses share
// one number space: negative numbers are the client's own, 0 and positive
// numbers are results from the server, so one int carries either and one
// text lookup serves both.

namespace dusk {

enum HttpCode : int {
  kHttpBadHost = -1,
  kHttpCannotCreateSocket = -2,
  kHttpCannotConnect = -3,
  kHttpHeaderWriteError = -4,
  kHttpDataWriteError = -5,
  kHttpHeaderReadError = -6,
  kHttpInvalidHeader = -7,
  kHttpNullData = -8,
  kHttpBadLength = -9,
  kHttpNoMemory = -10,
  kHttpDataReadError = -11,
  kHttpInvalidUrl = -12,
  kHttpInvalidPort = -13,
  kHttpInvalidSession = -14,
  kHttpInvalidVerb = -15,
  kHttpSuccess = 0,
  kHttpOk = 200,
  kHttpCreated = 201,
  kHttpBadRequest = 400,
  kHttpForbidden = 403,
  kHttpNotFound = 404,
  kHttpTimedOut = 408,
  kHttpLengthRequired = 411,
  kHttpServerError = 500,
  kHttpNotImplemented = 501,
  kHttpOverloaded = 503,
};

/// The fixed text of |code|; "Unknown Http Error" for a code without one.
/// The texts are the ones users and the server's operators see in the log,
/// spelling included.
const char* HttpErrorText(int code);

}  // namespace dusk

#endif  // DUSK_HTTP_HTTP_ERRORS_H_
