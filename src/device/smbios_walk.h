#ifndef DUSK_DEVICE_SMBIOS_WALK_H_
#define DUSK_DEVICE_SMBIOS_WALK_H_

// The walk over the SMBIOS data that biosinfo.so hands over. The data is a
// chain of records, each starting with two 16-bit words (host byte order):
// a section record names its section (word 0) and its first pair record
// (word 1); a pair record names its field (word 0) and its value (word 1);
// a record whose word 0 is 0 ends a section, or after the last section the
// data. Both words are offsets from the record's own start. The library's
// NextPair steps from a pair record, or a section's end record, to the
// record after it.
//
// The library lies outside the program, so its data is input like any
// other: every record NextPair returns must lie inside the size the library
// reported, every text must end inside it, and a chain may visit no more
// records than fit into that size. Anything else ends the walk with an
// error text instead of a read past the data.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace dusk {

/// biosinfo.so's NextPair: the record that follows |record|.
using SmbiosNextPair = void* (*)(void* record);

/// Longest section or field name; longer names are skipped.
inline constexpr size_t kSmbiosNameMax = 127;
/// Longest value; longer values are cut here.
inline constexpr size_t kSmbiosValueMax = 4095;

/// One pair of one section, in the library's spelling.
struct SmbiosField {
  std::string section;
  std::string name;
  std::string value;
};

/// What a walk found.
struct SmbiosWalk {
  /// The pairs in the library's order, up to where the walk ended.
  std::vector<SmbiosField> fields;
  /// Empty when the data ended properly; else why the walk stopped.
  std::string error;
};

/// Walks |data| (the bytes and the size the library reported), stepping
/// with |next_pair|, which is only ever applied to a checked pair or end
/// record inside |data|.
SmbiosWalk WalkSmbiosData(std::span<const uint8_t> data, SmbiosNextPair next_pair);

}  // namespace dusk

#endif  // DUSK_DEVICE_SMBIOS_WALK_H_
