#include "core/file/FileStore.h"

#include <random>

namespace korvastel::detail {

std::string RandomNameSuffix() {
  static constexpr char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string suffix(12, ' ');
  for (char& c : suffix) c = alphabet[random() % (sizeof alphabet - 1)];
  return suffix;
}

}  // namespace korvastel::detail
