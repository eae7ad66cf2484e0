#ifndef DUSK_TOOLS_PEER_PEER_STATE_H_
#define DUSK_TOOLS_PEER_PEER_STATE_H_

// What kesta-peer keeps in its state directory, for tests to read:
//
//   ready              "<pid> <port>" once the socket listens
//   requests/NNNN.txt  every request's bytes as received, head and body,
//                      numbered from 0001 in arrival order
//   requests/NNNN.attrs
//                      for a registration request, its body read back as
//                      attributes: one "NAME VALUE" line per pair in body
//                      order, the value without its outer braces
//   devices/<DN>       the latest body each device posted (the DN with
//                      every byte outside [A-Za-z0-9=,._@-] written %XX)
//   devices/<DN>.last  the name of the request that posted it
//                      (register, startup, status, unregister)
//   faults             written by tests; see peer_faults.h
//
// Files are written under a temporary name and renamed, so a reader never
// sees half of one.

#include <string>
#include <string_view>

namespace dusk::peer {

/// The file name a DN is stored under.
std::string DeviceFileName(std::string_view dn);

class PeerState {
 public:
  /// Uses (and creates) |dir| with its requests/ and devices/ folders;
  /// numbering goes on after the requests already recorded there.
  explicit PeerState(std::string dir);

  const std::string& dir() const { return dir_; }
  /// False when the directories could not be created.
  bool ok() const { return ok_; }

  /// Records one request's bytes; its number.
  int RecordRequest(std::string_view bytes);
  /// Writes requests/NNNN.attrs for request |number|.
  bool RecordAttrs(int number, std::string_view body);
  /// Keeps |body| as the latest of the device |dn|.
  bool StoreDevice(std::string_view dn, std::string_view request_name, std::string_view body);
  /// Writes the ready file.
  bool WriteReady(int pid, int port);
  /// The faults file's text; "" when there is none.
  std::string FaultsText() const;

 private:
  std::string dir_;
  bool ok_ = false;
  int next_request_ = 1;
};

/// Writes |content| to |path| through a temporary file and a rename.
bool WriteFileAtomically(const std::string& path, std::string_view content);

}  // namespace dusk::peer

#endif  // DUSK_TOOLS_PEER_PEER_STATE_H_
