#include "peer/peer_rexec.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "crypto/credentials.h"
#include "crypto/protected_value.h"
#include "util/sockets.h"
#include "util/strings.h"
#include "util/unique_fd.h"

namespace dusk::peer {

namespace {

/// After the device closed the main connection, how long the error
/// connection may still take to close.
constexpr int kErrorDrainMs = 2000;

bool ValidNumber(const std::string& text, int low, int high, int* value) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
    return false;
  *value = strToInt(text);
  return *value >= low && *value <= high;
}

/// |text| as sent: protected when |name| is among the protected parameters.
std::string AsSent(const RexecCall& call, const char* name, const std::string& text) {
  return call.protect.count(name) != 0 ? ProtectValue(text, true) : text;
}

/// A TCP socket bound to |address| (any when empty) on a port of the
/// system's choosing.
UniqueFd BoundSocket(const std::string& address) {
  UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!fd) return fd;
  struct sockaddr_in local = {};
  local.sin_family = AF_INET;
  if (!address.empty() && inet_pton(AF_INET, address.c_str(), &local.sin_addr) != 1)
    return UniqueFd();
  if (bind(fd.get(), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) return UniqueFd();
  return fd;
}

/// Prints the complete lines of |buffer| as "error: LINE" and keeps the rest;
/// with |all| the rest as well.
void PrintErrorLines(std::string* buffer, bool all, FILE* out) {
  size_t end;
  while ((end = buffer->find('\n')) != std::string::npos) {
    fprintf(out, "error: %s\n", buffer->substr(0, end).c_str());
    buffer->erase(0, end + 1);
  }
  if (all && !buffer->empty()) {
    fprintf(out, "error: %s\n", buffer->c_str());
    buffer->clear();
  }
  fflush(out);
}

}  // namespace

bool ParseRexecCall(const std::vector<std::string>& args, RexecCall* call, std::string* error) {
  for (size_t i = 0; i < args.size(); i += 2) {
    const std::string& option = args[i];
    if (i + 1 >= args.size()) {
      *error = "missing value for " + option;
      return false;
    }
    const std::string& value = args[i + 1];
    if (option == "--rexec") call->host = value;
    else if (option == "--dn") call->dn = value;
    else if (option == "--user") call->user = value;
    else if (option == "--password") call->password = value;
    else if (option == "--command") call->command = value;
    else if (option == "--error-port") call->error_port = value;
    else if (option == "--bind") call->bind_address = value;
    else if (option == "--port" || option == "--timeout") {
      int number = 0;
      if (!ValidNumber(value, 1, option == "--port" ? 65535 : 86400, &number)) {
        *error = "bad number for " + option;
        return false;
      }
      (option == "--port" ? call->port : call->timeout_seconds) = number;
    } else if (option == "--protect") {
      size_t start = 0;
      while (start <= value.size()) {
        size_t comma = value.find(',', start);
        if (comma == std::string::npos) comma = value.size();
        const std::string name = value.substr(start, comma - start);
        if (name != "port" && name != "user" && name != "password" && name != "command") {
          *error = "--protect takes port, user, password and command";
          return false;
        }
        call->protect.insert(name);
        start = comma + 1;
      }
    } else {
      *error = "unknown option " + option;
      return false;
    }
  }
  if (call->host.empty()) {
    *error = "--rexec needs a host";
    return false;
  }
  struct in_addr unused;
  if (!call->bind_address.empty() && inet_pton(AF_INET, call->bind_address.c_str(), &unused) != 1) {
    *error = "--bind needs a dotted IPv4 address";
    return false;
  }
  return true;
}

std::string RexecCallBytes(const RexecCall& call, const std::string& error_port) {
  const DeviceCredentials credentials =
      call.dn ? CredentialsForDn(*call.dn) : DeviceCredentials();
  const std::string user = call.user.value_or(credentials.userName);
  const std::string password = call.password.value_or(credentials.password);
  std::string bytes;
  for (const auto& [name, text] : {std::pair<const char*, const std::string&>{"port", error_port},
                                   {"user", user},
                                   {"password", password},
                                   {"command", call.command}}) {
    bytes += AsSent(call, name, text);
    bytes.push_back('\0');
  }
  return bytes;
}

int RunRexecCall(const RexecCall& call, FILE* out) {
  struct sockaddr_in device = {};
  device.sin_family = AF_INET;
  device.sin_port = htons(static_cast<uint16_t>(call.port));
  if (!ResolveIPv4(call.host, &device.sin_addr)) {
    fprintf(stderr, "kesta-peer: unknown host %s\n", call.host.c_str());
    return kCallFailed;
  }

  UniqueFd error_listener;
  std::string error_port = call.error_port;
  if (call.error_port == kListenErrorPort) {
    error_listener = BoundSocket(call.bind_address);
    struct sockaddr_in local = {};
    socklen_t size = sizeof local;
    if (!error_listener || listen(error_listener.get(), 1) != 0 ||
        getsockname(error_listener.get(), reinterpret_cast<sockaddr*>(&local), &size) != 0) {
      fprintf(stderr, "kesta-peer: cannot listen for the error connection: %s\n", strerror(errno));
      return kCallFailed;
    }
    error_port = std::to_string(ntohs(local.sin_port));
  }

  UniqueFd connection = BoundSocket(call.bind_address);
  if (!connection ||
      connect(connection.get(), reinterpret_cast<sockaddr*>(&device), sizeof device) != 0) {
    fprintf(stderr, "kesta-peer: cannot connect to %s:%d: %s\n", call.host.c_str(), call.port,
            strerror(errno));
    return kCallFailed;
  }
  // The device may hang up before it has read everything (a refused or
  // broken request); what it answers is still worth reading.
  const std::string bytes = RexecCallBytes(call, error_port);
  SocketWriteAll(connection.get(), bytes);

  using Clock = std::chrono::steady_clock;
  auto deadline = Clock::now() + std::chrono::seconds(call.timeout_seconds);
  UniqueFd error_connection;
  std::string error_buffer;
  int status = -1;
  bool ends_with_newline = true;
  char buffer[4096];
  while (connection || error_connection) {
    struct pollfd entries[3];
    int count = 0;
    if (connection) entries[count++] = {connection.get(), POLLIN, 0};
    if (error_listener && !error_connection) entries[count++] = {error_listener.get(), POLLIN, 0};
    if (error_connection) entries[count++] = {error_connection.get(), POLLIN, 0};
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || poll(entries, count, static_cast<int>(left)) == 0) {
      if (!connection) break;  // the error connection outlived the main one
      fprintf(stderr, "kesta-peer: no end of the answer within %d seconds\n",
              call.timeout_seconds);
      return kCallFailed;
    }
    for (int i = 0; i < count; ++i) {
      if (entries[i].revents == 0) continue;
      const int fd = entries[i].fd;
      if (error_listener && fd == error_listener.get()) {
        error_connection.reset(accept4(fd, nullptr, nullptr, SOCK_CLOEXEC));
        continue;
      }
      const ssize_t got = recv(fd, buffer, sizeof buffer, 0);
      if (connection && fd == connection.get()) {
        if (got <= 0) {
          connection.reset();
          deadline = std::min(deadline, Clock::now() + std::chrono::milliseconds(kErrorDrainMs));
          continue;
        }
        std::string_view piece(buffer, static_cast<size_t>(got));
        if (status < 0) {
          status = static_cast<unsigned char>(piece[0]);
          fprintf(out, "status 0x%02x\n", status);
          piece.remove_prefix(1);
        }
        if (!piece.empty()) {
          fwrite(piece.data(), 1, piece.size(), out);
          ends_with_newline = piece.back() == '\n';
        }
        fflush(out);
      } else {
        if (got <= 0) {
          error_connection.reset();
          PrintErrorLines(&error_buffer, true, out);
          continue;
        }
        error_buffer.append(buffer, static_cast<size_t>(got));
        PrintErrorLines(&error_buffer, false, out);
      }
    }
  }
  PrintErrorLines(&error_buffer, true, out);
  if (!ends_with_newline) fputc('\n', out);
  if (status < 0) fputs("no status\n", out);
  fflush(out);
  if (status < 0) return kCallNoStatus;
  return status == 0 ? kCallAccepted : kCallRefused;
}

}  // namespace dusk::peer
