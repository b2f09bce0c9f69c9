#pragma once

// Folders for the failure-injection tests: a private temporary folder, and (when running as
// root) a small tmpfs that can be made read-only or filled up.

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace brevanto::hardening {

namespace fs = std::filesystem;

inline fs::path makeScratchFolder(const std::string& name) {
  const fs::path base = fs::temp_directory_path() /
                        ("brevanto-hardening-" + std::to_string(::getpid()) + "-" + name);
  std::error_code ec;
  fs::remove_all(base, ec);
  fs::create_directories(base);
  return base;
}

// A tmpfs of `kib` KiB mounted on a fresh folder; unmounted and removed on destruction.
// mounted() is false when this process may not mount (not root, or no mount rights).
class TmpfsMount {
 public:
  TmpfsMount(const std::string& name, int kib) : path_(makeScratchFolder(name)) {
    const std::string options = "size=" + std::to_string(kib) + "k,mode=0755";
    mounted_ = ::mount("tmpfs", path_.c_str(), "tmpfs", 0, options.c_str()) == 0;
    if (!mounted_) why_ = std::strerror(errno);
  }
  ~TmpfsMount() {
    if (mounted_) ::umount2(path_.c_str(), MNT_DETACH);
    std::error_code ec;
    fs::remove_all(path_, ec);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }
  const fs::path& path() const { return path_; }
  std::string folder() const { return path_.string() + "/"; }

  bool remountReadOnly() {
    return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
  }
  bool remountWritable() {
    return ::mount("tmpfs", path_.c_str(), "tmpfs", MS_REMOUNT, nullptr) == 0;
  }
  // Writes a filler file until the file system is full.
  void fill(const std::string& name = "filler") {
    std::FILE* f = std::fopen((path_ / name).c_str(), "wb");
    if (!f) return;
    std::vector<char> block(4096, 'x');
    while (std::fwrite(block.data(), 1, block.size(), f) == block.size()) {
    }
    std::fclose(f);
  }

 private:
  fs::path path_;
  bool mounted_ = false;
  std::string why_;
};

inline void writeFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                              static_cast<std::streamsize>(bytes.size()));
}

inline std::vector<std::uint8_t> readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The names of the plain files directly in a folder.
inline std::set<std::string> filesIn(const fs::path& folder) {
  std::set<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    if (it->is_regular_file()) names.insert(it->path().filename().string());
  }
  return names;
}

}  // namespace brevanto::hardening
