// SHA-256 on Linux: OpenSSL's libcrypto.
#include <openssl/evp.h>

#include <stdexcept>

#include "platform/sha256.h"

namespace varnock::platform {

struct Sha256::State {
  std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> ctx{EVP_MD_CTX_new(), EVP_MD_CTX_free};
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
  if (!state_->ctx || EVP_DigestInit_ex(state_->ctx.get(), EVP_sha256(), nullptr) != 1) {
    throw std::runtime_error("SHA-256 is not available");
  }
}

Sha256::~Sha256() = default;

void Sha256::update(const void* data, std::size_t size) {
  if (size > 0 && EVP_DigestUpdate(state_->ctx.get(), data, size) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
}

std::string Sha256::hex_digest() {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_DigestFinal_ex(state_->ctx.get(), digest, &length) != 1) {
    throw std::runtime_error("SHA-256 failed");
  }
  return hex_text(digest, length);
}

}  // namespace varnock::platform
