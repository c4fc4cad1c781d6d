// SHA-256 from the system's own cryptography, for the digests a run record
// keeps of its files: OpenSSL's libcrypto on Linux, BCrypt (part of every
// Windows) on Windows, so that the Windows programs bring no library along.
#pragma once

#include <cstddef>
#include <memory>
#include <string>

namespace varnock::platform {

class Sha256 {
 public:
  // Throws std::runtime_error when the system cannot hash.
  Sha256();
  ~Sha256();
  Sha256(const Sha256&) = delete;
  Sha256& operator=(const Sha256&) = delete;

  void update(const void* data, std::size_t size);
  // The digest of everything given, as 64 lower-case hex digits; once.
  std::string hex_digest();

  struct State;

 private:
  std::unique_ptr<State> state_;
};

// Bytes as lower-case hex digits.
std::string hex_text(const unsigned char* bytes, std::size_t size);

}  // namespace varnock::platform
