#include "core/file/posix/Path.h"

namespace korvastel::posix {

std::string FolderPrefix(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string_view FileName(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string_view(path) : std::string_view(path).substr(slash + 1);
}

std::string ParentFolder(const std::string& path) {
  const std::string prefix = FolderPrefix(path);
  return prefix.empty() ? std::string(".") : prefix;
}

}  // namespace korvastel::posix
