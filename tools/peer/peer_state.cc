#include "peer/peer_state.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "peer/peer_tcl.h"
#include "util/files.h"
#include "util/strings.h"

namespace dusk::peer {

namespace {

bool MakeDirs(const std::string& dir) {
  std::error_code error;
  std::filesystem::create_directories(dir, error);
  return std::filesystem::is_directory(dir, error);
}

/// The highest NNNN of requests/NNNN.txt in |dir|.
int LastRequestNumber(const std::string& dir) {
  int last = 0;
  DIR* handle = opendir(dir.c_str());
  if (handle == nullptr) return 0;
  while (struct dirent* entry = readdir(handle)) {
    std::string name = entry->d_name;
    if (name.size() > 4 && name.substr(name.size() - 4) == ".txt")
      last = std::max(last, strToInt(name));
  }
  closedir(handle);
  return last;
}

}  // namespace

std::string DeviceFileName(std::string_view dn) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string name;
  for (unsigned char c : dn) {
    bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                 c == '=' || c == ',' || c == '_' || c == '@' || c == '-' ||
                 (c == '.' && !name.empty());
    if (plain) {
      name.push_back(static_cast<char>(c));
    } else {
      name.push_back('%');
      name.push_back(kHex[c >> 4]);
      name.push_back(kHex[c & 15]);
    }
  }
  return name.empty() ? "%" : name.substr(0, 200);
}

bool WriteFileAtomically(const std::string& path, std::string_view content) {
  std::string temporary = path + ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  size_t written = 0;
  while (written < content.size()) {
    ssize_t n = write(fd, content.data() + written, content.size() - written);
    if (n <= 0) break;
    written += static_cast<size_t>(n);
  }
  bool ok = close(fd) == 0 && written == content.size();
  return ok && rename(temporary.c_str(), path.c_str()) == 0;
}

PeerState::PeerState(std::string dir) : dir_(std::move(dir)) {
  ok_ = MakeDirs(dir_ + "/requests") && MakeDirs(dir_ + "/devices");
  next_request_ = LastRequestNumber(dir_ + "/requests") + 1;
}

int PeerState::RecordRequest(std::string_view bytes) {
  int number = next_request_++;
  WriteFileAtomically(dir_ + strFormat("/requests/%04d.txt", number), bytes);
  return number;
}

bool PeerState::RecordAttrs(int number, std::string_view body) {
  std::vector<std::string> elements;
  std::string error;
  std::string text;
  if (!ParseTclList(body, &elements, &error)) text = "#error " + error + "\n";
  // One line per attribute: a line break or a backslash in a value is
  // written as a backslash sequence.
  for (const auto& [name, value] : TclAttrPairs(body)) {
    text += name + " ";
    for (char c : value) {
      if (c == '\n')
        text += "\\n";
      else if (c == '\\')
        text += "\\\\";
      else
        text.push_back(c);
    }
    text += "\n";
  }
  return WriteFileAtomically(dir_ + strFormat("/requests/%04d.attrs", number), text);
}

bool PeerState::StoreDevice(std::string_view dn, std::string_view request_name,
                            std::string_view body) {
  std::string base = dir_ + "/devices/" + DeviceFileName(dn);
  return WriteFileAtomically(base, body) &&
         WriteFileAtomically(base + ".last", std::string(request_name) + "\n");
}

bool PeerState::WriteReady(int pid, int port) {
  return WriteFileAtomically(dir_ + "/ready", strFormat("%d %d\n", pid, port));
}

std::string PeerState::FaultsText() const {
  std::string text;
  ReadWholeFile(dir_ + "/faults", &text);
  return text;
}

}  // namespace dusk::peer
