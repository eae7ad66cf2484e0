#include "device/smbios_walk.h"

#include <cstring>
#include <optional>
#include <string_view>

#include "util/strings.h"

namespace dusk {

namespace {

constexpr size_t kRecordWords = 4;  // bytes of the two words every record has

/// Walk state over one buffer; positions are offsets into it.
class Walker {
 public:
  Walker(std::span<const uint8_t> data, SmbiosNextPair next_pair)
      : data_(data), next_pair_(next_pair), visits_left_(data.size() / kRecordWords) {}

  SmbiosWalk Run() {
    SmbiosWalk walk;
    std::optional<size_t> section = Visit(0, &walk.error);
    while (section && Word(*section, 0) != 0) {
      std::optional<std::string_view> section_name = Text(*section, 0, &walk.error);
      if (!section_name) break;
      const bool keep = section_name->size() <= kSmbiosNameMax;
      std::optional<size_t> pair = Visit(*section + Word(*section, 1), &walk.error);
      while (pair && Word(*pair, 0) != 0) {
        std::optional<std::string_view> name = Text(*pair, 0, &walk.error);
        std::optional<std::string_view> value =
            name ? Text(*pair, 1, &walk.error) : std::nullopt;
        if (!value) return walk;
        if (keep && name->size() <= kSmbiosNameMax) {
          walk.fields.push_back(
              SmbiosField{std::string(*section_name), std::string(*name),
                          std::string(value->substr(0, kSmbiosValueMax))});
        }
        pair = Next(*pair, &walk.error);
      }
      section = pair ? Next(*pair, &walk.error) : std::nullopt;
    }
    return walk;
  }

 private:
  /// Word |index| (0 or 1) of the checked record at |at|.
  size_t Word(size_t at, int index) const {
    uint16_t word;
    memcpy(&word, data_.data() + at + 2 * index, sizeof word);
    return word;
  }

  /// Checks that a record starts at |at| and counts the visit.
  std::optional<size_t> Visit(size_t at, std::string* error) {
    if (at > data_.size() || data_.size() - at < kRecordWords) {
      *error = strFormat("record at offset %zu lies outside the %zu bytes of data", at,
                         data_.size());
      return std::nullopt;
    }
    if (visits_left_ == 0) {
      *error = strFormat("record chain does not end within the %zu bytes of data",
                         data_.size());
      return std::nullopt;
    }
    --visits_left_;
    return at;
  }

  /// The record NextPair gives after the checked record at |at|.
  std::optional<size_t> Next(size_t at, std::string* error) {
    const uint8_t* record = data_.data() + at;
    // Compared as addresses: the library may return anything.
    const uintptr_t next =
        reinterpret_cast<uintptr_t>(next_pair_(const_cast<uint8_t*>(record)));
    const uintptr_t begin = reinterpret_cast<uintptr_t>(data_.data());
    if (next < begin || next - begin > data_.size()) {
      *error = strFormat("record at offset %ld lies outside the %zu bytes of data",
                         static_cast<long>(next - begin), data_.size());
      return std::nullopt;
    }
    return Visit(static_cast<size_t>(next - begin), error);
  }

  /// The text that word |index| of the checked record at |at| points to.
  std::optional<std::string_view> Text(size_t at, int index, std::string* error) const {
    const size_t start = at + Word(at, index);
    if (start >= data_.size()) {
      *error = strFormat("text at offset %zu lies outside the %zu bytes of data", start,
                         data_.size());
      return std::nullopt;
    }
    const void* end = memchr(data_.data() + start, 0, data_.size() - start);
    if (end == nullptr) {
      *error = strFormat("text at offset %zu does not end inside the %zu bytes of data",
                         start, data_.size());
      return std::nullopt;
    }
    return std::string_view(reinterpret_cast<const char*>(data_.data() + start),
                            static_cast<const uint8_t*>(end) - (data_.data() + start));
  }

  std::span<const uint8_t> data_;
  SmbiosNextPair next_pair_;
  /// Records that may still be visited: records take at least
  /// kRecordWords bytes each, so a longer chain must run in a circle.
  size_t visits_left_;
};

}  // namespace

SmbiosWalk WalkSmbiosData(std::span<const uint8_t> data, SmbiosNextPair next_pair) {
  return Walker(data, next_pair).Run();
}

}  // namespace dusk
