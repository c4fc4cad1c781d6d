// SHA-256 on Windows: the system's Cryptography API: Next Generation, whose
// bcrypt.dll every Windows since Vista has.
#include <windows.h>

#include <bcrypt.h>

#include <stdexcept>
#include <vector>

#include "platform/sha256.h"

namespace varnock::platform {

struct Sha256::State {
  BCRYPT_ALG_HANDLE algorithm = nullptr;
  BCRYPT_HASH_HANDLE hash = nullptr;
  std::vector<UCHAR> hash_object;
  ~State() {
    if (hash != nullptr) BCryptDestroyHash(hash);
    if (algorithm != nullptr) BCryptCloseAlgorithmProvider(algorithm, 0);
  }
};

namespace {

bool succeeded(NTSTATUS status) { return status >= 0; }

}  // namespace

Sha256::Sha256() : state_(std::make_unique<State>()) {
  State& s = *state_;
  DWORD object_size = 0, got = 0;
  if (!succeeded(BCryptOpenAlgorithmProvider(&s.algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !succeeded(BCryptGetProperty(s.algorithm, BCRYPT_OBJECT_LENGTH,
                                   reinterpret_cast<PUCHAR>(&object_size), sizeof object_size, &got, 0))) {
    throw std::runtime_error("SHA-256 is not available");
  }
  s.hash_object.resize(object_size);
  if (!succeeded(BCryptCreateHash(s.algorithm, &s.hash, s.hash_object.data(), object_size, nullptr, 0, 0))) {
    throw std::runtime_error("SHA-256 is not available");
  }
}

Sha256::~Sha256() = default;

void Sha256::update(const void* data, std::size_t size) {
  // BCryptHashData takes at most 4 GiB - 1 at a time.
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
    if (!succeeded(BCryptHashData(state_->hash, const_cast<PUCHAR>(bytes), piece, 0))) {
      throw std::runtime_error("SHA-256 failed");
    }
    bytes += piece;
    size -= piece;
  }
}

std::string Sha256::hex_digest() {
  unsigned char digest[32];
  if (!succeeded(BCryptFinishHash(state_->hash, digest, sizeof digest, 0))) {
    throw std::runtime_error("SHA-256 failed");
  }
  return hex_text(digest, sizeof digest);
}

}  // namespace varnock::platform
