#include "util/FileSystem.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace brevanto::util {

namespace {

std::string findProgramFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  if (ec || exe.empty()) {
    // No procfs: the current folder is the best remaining guess.
    fs::path cwd = fs::current_path(ec);
    return ec ? std::string("./") : folderPath(cwd.generic_string());
  }
  return folderPath(exe.parent_path().generic_string());
}

}  // namespace

std::string folderPath(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

std::string programFolder() {
  static const std::string folder = findProgramFolder();
  return folder;
}

bool isDirectory(const std::string& path) {
  if (path.empty()) return false;
  std::error_code ec;
  return fs::is_directory(fs::path(path), ec);
}

bool createDirectoryChain(const std::string& path) {
  if (path.empty()) return false;
  // Ignore one trailing "/" when looking for the parent: "a/b/" names the folder a/b.
  std::string trimmed = path;
  if (trimmed.size() > 1 && trimmed.back() == '/') trimmed.pop_back();
  const auto slash = trimmed.rfind('/');
  if (slash == std::string::npos) return false;
  std::error_code ec;
  fs::create_directories(fs::path(trimmed), ec);
  return isDirectory(trimmed);
}

std::string fileNamePart(const std::string& path) {
#ifdef _WIN32
  const auto cut = path.find_last_of("/\\");
#else
  const auto cut = path.rfind('/');
#endif
  return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string zeroPadded(int n, int width) {
  if (width < 0) width = 0;
  if (width > 64) width = 64;
  char buffer[80];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, n);
  return buffer;
}

}  // namespace brevanto::util
