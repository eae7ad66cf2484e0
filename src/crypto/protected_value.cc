#include "crypto/protected_value.h"

#include <cstring>
#include <new>
#include <vector>

#include "crypto/aes.h"
#include "crypto/base64.h"
#include "crypto/keys.h"
#include "log/log.h"

namespace dusk {

namespace {

constexpr size_t kBlock = 16;

/// The process-wide key context; filled once, never changed afterwards.
struct KeyContext {
  AesKeyPair keys;
  bool ready = false;
};

KeyContext& Context() {
  static KeyContext context;
  return context;
}

const AesKeyPair& Keys() {
  if (!Context().ready) ProtectedValueInit();
  return Context().keys;
}

}  // namespace

void ProtectedValueInit() {
  KeyContext& context = Context();
  context = KeyContext();
  AES_expand_key_pair(kProtectedValueKey, 256, context.keys);
  context.ready = true;
}

bool IsProtectedValue(std::string_view text) {
  return text.starts_with(kProtectedValuePrefix);
}

std::string ProtectValue(std::string_view plain, bool pad_with_nul) {
  const AesKeyPair& keys = Keys();
  std::string out(plain);
  if (IsProtectedValue(out)) return out;
  // Memory running out while protecting leaves the value as it came, like
  // any other failure to protect it.
  try {
    const size_t padded = (plain.size() + kBlock - 1) / kBlock * kBlock;
    std::vector<uint8_t> cipher(padded, pad_with_nul ? '\0' : ' ');
    if (!plain.empty()) memcpy(cipher.data(), plain.data(), plain.size());
    for (size_t i = 0; i < padded; i += kBlock) {
      std::span<uint8_t, kBlock> block(cipher.data() + i, kBlock);
      AES_encrypt(block, block, keys.encrypt);
    }
    // Base64 needs 4/3 of the bytes plus a line feed per 57 bytes.
    std::vector<char> text(2 * padded + 4);
    int count = base64_encode(cipher, text);
    if (count < 0) {
      LogMessage(kLogError, "base64_encode Failed");
      return out;
    }
    std::string result;
    result.reserve(kProtectedValuePrefix.size() + static_cast<size_t>(count));
    result.append(kProtectedValuePrefix).append(text.data(), static_cast<size_t>(count));
    return result;
  } catch (const std::bad_alloc&) {
    LogMessage(kLogError, "base64_encode Failed");
    return out;
  }
}

std::string UnprotectValue(std::string_view text) {
  const AesKeyPair& keys = Keys();
  std::string out(text);
  if (!IsProtectedValue(out)) return out;
  try {
    std::string_view encoded = text.substr(kProtectedValuePrefix.size());
    // The decoder needs one byte beyond the bytes it decodes.
    std::vector<uint8_t> cipher(encoded.size() + 1);
    int count = base64_decode(encoded, cipher);
    if (count <= 0) {
      LogMessage(kLogError, "base64_decode Failed");
      return out;
    }
    const size_t whole = static_cast<size_t>(count) / kBlock * kBlock;
    for (size_t i = 0; i < whole; i += kBlock) {
      std::span<uint8_t, kBlock> block(cipher.data() + i, kBlock);
      AES_decrypt(block, block, keys.decrypt);
    }
    const char* plain = reinterpret_cast<const char*>(cipher.data());
    // Never longer than |text|: assigning needs no new memory.
    out.assign(plain, strnlen(plain, whole));
    return out;
  } catch (const std::bad_alloc&) {
    LogMessage(kLogError, "base64_decode Failed");
    return out;
  }
}

}  // namespace dusk
