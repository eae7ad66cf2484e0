#include "http/http_errors.h"

namespace dusk {

const char* HttpErrorText(int code) {
  switch (code) {
    case kHttpBadHost: return "Bad host specified";
    case kHttpCannotCreateSocket: return "Cannot create socket";
    case kHttpCannotConnect: return "Cannot connect to host";
    case kHttpHeaderWriteError: return "Write error while writing header";
    case kHttpDataWriteError: return "Write error while writing data";
    case kHttpHeaderReadError: return "Read error while reading header";
    case kHttpInvalidHeader: return "Invalid header read";
    case kHttpNullData: return "Null data pointer";
    case kHttpBadLength: return "No or bad Length in header";
    case kHttpNoMemory: return "Failed to allocate memory";
    case kHttpDataReadError: return "Read error while reading data";
    case kHttpInvalidUrl: return "Invalid URL specified";
    case kHttpInvalidPort: return "Invalid Port specified";
    case kHttpInvalidSession: return "Invalid Http Session";
    case kHttpInvalidVerb: return "Invalid Http Verb Specified";
    case kHttpSuccess: return "Successful";
    // These texts go into log lines that field tools read: spelling included.
    case kHttpOk: return "Resource succesfully read";
    case kHttpCreated: return "Resource succesfully created";
    case kHttpBadRequest: return "Invalid query";
    case kHttpForbidden: return "Forbidden";
    case kHttpNotFound: return "Not Found";
    case kHttpTimedOut: return "Request Timed out";
    case kHttpLengthRequired: return "Length Required";
    case kHttpServerError: return "Server error";
    case kHttpNotImplemented: return "Not implemented";
    case kHttpOverloaded: return "Service overloaded";
    default: return "Unknown Http Error";
  }
}

}  // namespace dusk
