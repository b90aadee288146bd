#include "driver/program_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>

namespace ombrix {

const char* program_file_first_line(const char* text) {
  if (std::strncmp(text, "\xEF\xBB\xBF", 3) == 0) text += 3;
  if (text[0] == '#' && text[1] == '!') return "";
  return text;
}

namespace {

// Links followed before giving up, as the kernel does for a path.
constexpr int MAX_LINK_HOPS = 40;

const char* reason(int error) { return std::strerror(error); }

// The folder part of a path: "." for a bare name.
std::string folder_of(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// The text of a symbolic link. Some links (those under /proc) report a size
// of 0, so the buffer grows until the text fits.
bool read_link(const std::string& link, std::string& target, int& error) {
  for (std::size_t size = 256;; size *= 2) {
    target.resize(size);
    const ssize_t length = readlink(link.c_str(), target.data(), size);
    if (length < 0) {
      error = errno;
      return false;
    }
    if (static_cast<std::size_t>(length) < size) {
      target.resize(static_cast<std::size_t>(length));
      return true;
    }
  }
}

// The file that writing `name` should replace: `name` itself, or the file a
// symbolic link (or a chain of them) leads to, which need not exist yet.
// Renaming over the link itself would turn it into a plain file.
bool follow_links(const char* name, std::string& path, int& error) {
  path = name;
  for (int hops = 0;; ++hops) {
    struct stat status {};
    if (lstat(path.c_str(), &status) != 0) {
      if (errno == ENOENT) return true;  // a new file; a missing folder fails later
      error = errno;
      return false;
    }
    if (!S_ISLNK(status.st_mode)) return true;
    if (hops == MAX_LINK_HOPS) {
      error = ELOOP;
      return false;
    }
    std::string target;
    if (!read_link(path, target, error)) return false;
    if (target.empty() || target[0] != '/') target = folder_of(path) + "/" + target;
    path = std::move(target);
  }
}

mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

// Removes the temporary file unless it has become the saved file.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string name) : name_(std::move(name)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!kept_) unlink(name_.c_str());
  }
  const char* name() const { return name_.c_str(); }
  void keep() { kept_ = true; }

 private:
  std::string name_;
  bool kept_ = false;
};

// Writes the listing into the open temporary file and makes it durable.
// Closes the stream in every case.
int write_listing(const Program& program, std::FILE* file) {
  program_list(program, file);
  errno = 0;
  int error = 0;
  if (std::fflush(file) != 0 || std::ferror(file)) {
    // A write that failed earlier may have left nothing to flush now.
    error = errno != 0 ? errno : EIO;
  } else if (fsync(fileno(file)) != 0) {
    error = errno;
  }
  if (std::fclose(file) != 0 && error == 0) error = errno;
  return error;
}

}  // namespace

const char* program_file_save(const Program& program, const char* name) {
  std::string path;
  int error = 0;
  if (!follow_links(name, path, error)) return reason(error);

  mode_t mode = new_file_mode();
  struct stat old {};
  const bool replacing = stat(path.c_str(), &old) == 0;
  if (replacing) {
    if (S_ISDIR(old.st_mode)) return reason(EISDIR);
    // Renaming over a device or a pipe would replace the node itself.
    if (!S_ISREG(old.st_mode)) return "Not a regular file";
    mode = old.st_mode & 07777;
  }

  const std::string folder = folder_of(path);
  std::string pattern = folder + "/.ombrix-save-XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) return reason(errno);
  TemporaryFile temporary(pattern);
  // Owner first: a change of owner may clear the set-id bits of the mode.
  // Taking over another owner's file works only for the superuser; else the
  // new file is the saver's, as with any editor.
  if (replacing && (old.st_uid != geteuid() || old.st_gid != getegid())) {
    [[maybe_unused]] const int ignored = fchown(fd, old.st_uid, old.st_gid);
  }
  if (fchmod(fd, mode) != 0) {
    error = errno;
    close(fd);
    return reason(error);
  }
  std::FILE* file = fdopen(fd, "w");
  if (file == nullptr) {
    error = errno;
    close(fd);
    return reason(error);
  }
  error = write_listing(program, file);
  if (error != 0) return reason(error);
  if (rename(temporary.name(), path.c_str()) != 0) return reason(errno);
  temporary.keep();

  // The rename is durable only once the folder is synced. A folder that
  // cannot be opened for reading, or a file system that cannot sync one
  // (EINVAL), leaves it to the system.
  const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd < 0) return nullptr;
  if (fsync(folder_fd) != 0 && errno != EINVAL) error = errno;
  close(folder_fd);
  return error != 0 ? reason(error) : nullptr;
}

}  // namespace ombrix
