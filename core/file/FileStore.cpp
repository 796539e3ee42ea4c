#include "core/file/FileStore.h"

#include <random>

namespace korvastel::detail {

std::string RandomNameSuffix() {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device random;
  std::string suffix(12, ' ');
  for (char& c : suffix) c = kAlphabet[random() % (sizeof kAlphabet - 1)];
  return suffix;
}

}  // namespace korvastel::detail
