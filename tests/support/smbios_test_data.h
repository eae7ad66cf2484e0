#ifndef DUSK_TESTS_SUPPORT_SMBIOS_TEST_DATA_H_
#define DUSK_TESTS_SUPPORT_SMBIOS_TEST_DATA_H_

// Test data in biosinfo.so's layout: every record has a third word, the
// signed offset of the record after it, which TestNextPair follows.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace dusk::test {

inline void* TestNextPair(void* record) {
  int16_t step;
  memcpy(&step, static_cast<uint8_t*>(record) + 4, sizeof step);
  return reinterpret_cast<void*>(reinterpret_cast<uintptr_t>(record) +
                                 static_cast<uintptr_t>(static_cast<intptr_t>(step)));
}

class SmbiosData {
 public:
  SmbiosData& Record(uint16_t word0, uint16_t word1, int16_t next) {
    for (uint16_t word : {word0, word1, static_cast<uint16_t>(next)})
      bytes_.append(reinterpret_cast<const char*>(&word), sizeof word);
    return *this;
  }
  SmbiosData& Text(const std::string& text) {
    bytes_.append(text);
    bytes_.push_back('\0');
    return *this;
  }
  SmbiosData& Raw(const std::string& raw) {
    bytes_.append(raw);
    return *this;
  }
  SmbiosData& Section(const std::string& name) {
    const auto after = static_cast<uint16_t>(6 + name.size() + 1);
    return Record(6, after, static_cast<int16_t>(after)).Text(name);
  }
  SmbiosData& Pair(const std::string& name, const std::string& value) {
    const auto value_at = static_cast<uint16_t>(6 + name.size() + 1);
    return Record(6, value_at, static_cast<int16_t>(value_at + value.size() + 1))
        .Text(name)
        .Text(value);
  }
  SmbiosData& End() { return Record(0, 0, 6); }

  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

}  // namespace dusk::test

#endif  // DUSK_TESTS_SUPPORT_SMBIOS_TEST_DATA_H_
