/*
 * biosinfo.so: the device's SMBIOS identity, read from the kernel's DMI
 * export in /sys/class/dmi/id and handed over in the layout dusk walks.
 *
 * Entry points:
 *
 *   GetFullBIOSInfo(buffer, size)       the data, from /sys/class/dmi/id
 *   GetFullBIOSInfoFrom(dir, buffer, size)
 *                                       the same from the export in |dir|
 *                                       (a directory of the same files);
 *                                       dusk calls it with the directory
 *                                       of its layout when the library has
 *                                       it, and GetFullBIOSInfo otherwise
 *   NextPair(record)                    the record that follows |record|
 *
 * The data is a chain of records. Every record starts with three 16-bit
 * words in host byte order: word 0 and word 1 are offsets from the record's
 * start, word 2 is the offset of the record that follows it (NextPair).
 *
 *   section record  word 0 -> section name, word 1 -> its first pair record
 *   pair record     word 0 -> field name, word 1 -> value
 *   end record      word 0 = 0; ends a section, and after the last section
 *                   it ends the data
 *
 * The texts follow their record's words, each ended by a NUL.
 *
 * Both sections are always there, so a device without a DMI export (many
 * virtual machines and non-x86 thin clients) still gets a well-formed answer
 * with no fields. A file that is missing, unreadable or not a regular file
 * leaves its field out. Reads are capped, so a huge or endless file costs at
 * most one value's worth of memory. A value is the file's first line (the
 * kernel ends each with a line feed), and it also ends at a NUL byte, so a
 * binary file can neither cut a text short on the other side nor smuggle a
 * line break into a configuration value.
 *
 * Plain C with no state between calls: the library needs nothing but libc.
 */

#include <fcntl.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#define EXPORT __attribute__((visibility("default")))

/* Longest value handed over, in bytes. */
#define VALUE_MAX 4095
/* The size word of GetFullBIOSInfo bounds the whole data. */
#define DATA_MAX 65535
#define HEADER_SIZE 6

/* The kernel's export, read by GetFullBIOSInfo. */
static const char kDmiDir[] = "/sys/class/dmi/id";
/* Longest path of an exported file. */
#define PATH_MAX_BYTES 4096

struct field {
  const char* name; /* field name in the data */
  const char* file; /* file in the export's directory */
};

struct section {
  const char* name;
  const struct field* fields;
  size_t count;
};

static const struct field kSystemFields[] = {
    {"productname", "product_name"},    {"uuid", "product_uuid"},
    {"serialnumber", "product_serial"}, {"manufacturer", "sys_vendor"},
    {"version", "product_version"},
};

static const struct field kEnclosureFields[] = {
    {"serialnumber", "chassis_serial"},
    {"assettagnumber", "chassis_asset_tag"},
    {"manufacturer", "chassis_vendor"},
};

static const struct section kSections[] = {
    {"SystemInformation", kSystemFields, sizeof kSystemFields / sizeof kSystemFields[0]},
    {"SystemEnclosure", kEnclosureFields,
     sizeof kEnclosureFields / sizeof kEnclosureFields[0]},
};

/* Appends to a buffer of DATA_MAX bytes; |overflow| marks data that would
   not fit (which the value cap rules out, but the size word must never lie). */
struct writer {
  unsigned char* data;
  size_t length;
  int overflow;
};

static void put(struct writer* w, const void* bytes, size_t count) {
  if (w->overflow || count > DATA_MAX - w->length) {
    w->overflow = 1;
    return;
  }
  memcpy(w->data + w->length, bytes, count);
  w->length += count;
}

static void put_record(struct writer* w, size_t word0, size_t word1, size_t next) {
  uint16_t words[3] = {(uint16_t)word0, (uint16_t)word1, (uint16_t)next};
  put(w, words, sizeof words);
}

/* Reads the field's file in |dir| into |value| (VALUE_MAX bytes); the
   length, or -1 when the field is to be left out. */
static long read_value(const char* dir, const char* file, char* value) {
  char path[PATH_MAX_BYTES];
  size_t dir_length = strlen(dir);
  size_t file_length = strlen(file);
  if (dir_length + 1 + file_length >= sizeof path) return -1;
  memcpy(path, dir, dir_length);
  path[dir_length] = '/';
  memcpy(path + dir_length + 1, file, file_length + 1);

  int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return -1;
  struct stat st;
  if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    close(fd);
    return -1;
  }
  size_t got = 0;
  while (got < VALUE_MAX) {
    ssize_t n = read(fd, value + got, VALUE_MAX - got);
    if (n < 0) {
      close(fd);
      return -1;
    }
    if (n == 0) break;
    got += (size_t)n;
  }
  close(fd);
  /* The first line, which drops the kernel's trailing line feed. */
  for (size_t i = 0; i < got; ++i) {
    if (value[i] == '\n' || value[i] == '\0') return (long)i;
  }
  return (long)got;
}

static void put_pair(struct writer* w, const char* name, const char* value,
                     size_t value_length) {
  size_t name_size = strlen(name) + 1;
  size_t value_offset = HEADER_SIZE + name_size;
  put_record(w, HEADER_SIZE, value_offset, value_offset + value_length + 1);
  put(w, name, name_size);
  put(w, value, value_length);
  put(w, "", 1);
}

/* Builds the whole data from the export in |dir|; its length, or 0 on
   failure. */
static size_t build(const char* dir, unsigned char* data) {
  struct writer w = {data, 0, 0};
  char* value = malloc(VALUE_MAX);
  if (value == NULL) return 0;
  for (size_t s = 0; s < sizeof kSections / sizeof kSections[0]; ++s) {
    const struct section* section = &kSections[s];
    size_t name_size = strlen(section->name) + 1;
    put_record(&w, HEADER_SIZE, HEADER_SIZE + name_size, HEADER_SIZE + name_size);
    put(&w, section->name, name_size);
    for (size_t f = 0; f < section->count; ++f) {
      long length = read_value(dir, section->fields[f].file, value);
      if (length >= 0) put_pair(&w, section->fields[f].name, value, (size_t)length);
    }
    put_record(&w, 0, 0, HEADER_SIZE);
  }
  put_record(&w, 0, 0, HEADER_SIZE);
  free(value);
  return w.overflow ? 0 : w.length;
}

/* GetFullBIOSInfo over the export in |dir|. A missing directory is an
   export without files; a null |dir| is refused. */
EXPORT unsigned char GetFullBIOSInfoFrom(const char* dir, void* buffer,
                                         unsigned short* size) {
  if (dir == NULL || size == NULL) return 0;
  unsigned char* data = malloc(DATA_MAX);
  if (data == NULL) return 0;
  size_t length = build(dir, data);
  unsigned char ok = 0;
  if (length > 0 && buffer == NULL) {
    *size = (unsigned short)length;
    ok = 1;
  } else if (length > 0 && length <= *size) {
    memcpy(buffer, data, length);
    *size = (unsigned short)length;
    ok = 1;
  }
  free(data);
  return ok;
}

/* With a null |buffer|: stores the size of the data in |size|. Otherwise
   fills |buffer|, which holds |size| bytes, and stores the length written.
   Non-zero on success; zero when the data does not fit or cannot be made. */
EXPORT unsigned char GetFullBIOSInfo(void* buffer, unsigned short* size) {
  return GetFullBIOSInfoFrom(kDmiDir, buffer, size);
}

/* The record that follows |record|. */
EXPORT void* NextPair(void* record) {
  uint16_t next;
  memcpy(&next, (unsigned char*)record + 4, sizeof next);
  return (unsigned char*)record + (next != 0 ? next : HEADER_SIZE);
}
