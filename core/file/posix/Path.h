#pragma once

#include <string>
#include <string_view>

namespace korvastel::posix {

// The folder part of a path with its trailing '/', or "" for a bare name:
//   FolderPrefix("a/b/spans.txt") -> "a/b/"    FolderPrefix("spans.txt") -> ""
//   FolderPrefix("/spans.txt")    -> "/"
std::string FolderPrefix(const std::string& path);

// The last component of a path: FileName("a/b/spans.txt") -> "spans.txt".
std::string_view FileName(const std::string& path);

// The folder that holds `path`, usable with stat(): "." for a bare name.
std::string ParentFolder(const std::string& path);

}  // namespace korvastel::posix
