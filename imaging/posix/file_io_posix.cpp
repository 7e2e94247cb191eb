// POSIX half of the file layer: errno and strerror give the system's message.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "imaging/exceptions.h"
#include "imaging/file_io.h"

namespace qv {

namespace {

std::string ErrnoText(int error) { return std::strerror(error); }

// Closes a descriptor on every path out of a function.
class TFd {
 public:
  explicit TFd(int fd) : fd_(fd) {}
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  ~TFd() { Close(); }
  int Get() const { return fd_; }
  int Close() {
    int result = 0;
    if (fd_ >= 0) result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

bool WriteAll(int fd, const uint8_t* data, size_t size) {
  while (size > 0) {
    ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

std::string ExpandFileName(const std::string& path) {
  if (path.empty() || path[0] == '/') return path;
  char cwd[PATH_MAX];
  if (!::getcwd(cwd, sizeof cwd)) return path;
  std::string full = cwd;
  if (full.back() != '/') full += '/';
  return full + path;
}

TFileContents ReadFileContents(const std::string& path, size_t limit) {
  const std::string full = ExpandFileName(path);
  TFd fd(::open(full.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.Get() < 0) throw EFOpenError(FileErrorText(kCannotOpenFileMessage, full, ErrnoText(errno)));
  struct stat st {};
  if (::fstat(fd.Get(), &st) != 0)
    throw EFOpenError(FileErrorText(kCannotOpenFileMessage, full, ErrnoText(errno)));
  // A folder opens for reading here, unlike on Windows; refuse it as Windows does.
  if (S_ISDIR(st.st_mode))
    throw EFOpenError(FileErrorText(kCannotOpenFileMessage, full, ErrnoText(EISDIR)));

  TFileContents result;
  result.Size = S_ISREG(st.st_mode) ? static_cast<uint64_t>(st.st_size) : 0;
  size_t want = static_cast<size_t>(std::min<uint64_t>(result.Size, limit));
  result.Bytes.resize(want);
  size_t got = 0;
  while (got < want) {
    ssize_t n = ::read(fd.Get(), result.Bytes.data() + got, want - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EReadError(kStreamReadErrorMessage);
    if (n == 0) break;  // the file shrank meanwhile
    got += static_cast<size_t>(n);
  }
  result.Bytes.resize(got);
  if (got < want) result.Size = got;
  return result;
}

void WriteFileReplacing(const std::string& path, std::span<const uint8_t> data) {
  const std::string full = ExpandFileName(path);
  auto createError = [&](int error) {
    return EFCreateError(FileErrorText(kCannotCreateFileMessage, full, ErrnoText(error)));
  };

  // Replace what a symbolic link points to, not the link.
  std::string target = full;
  struct stat st {};
  bool exists = ::lstat(target.c_str(), &st) == 0;
  if (exists && S_ISLNK(st.st_mode)) {
    char* real = ::realpath(target.c_str(), nullptr);
    if (real) {
      target = real;
      std::free(real);
      exists = ::stat(target.c_str(), &st) == 0;
    } else {
      exists = false;  // a dangling link is replaced by the new file
    }
  }
  if (exists) {
    if (S_ISDIR(st.st_mode)) throw createError(EISDIR);
    // A device or pipe cannot be replaced by a file.
    if (!S_ISREG(st.st_mode)) throw createError(EINVAL);
    // Renaming over a file ignores its own permissions; a read-only file
    // must stay read-only, also for an administrator (as on Windows).
    if (S_ISREG(st.st_mode) && (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
      throw createError(EACCES);
    TFd probe(::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK));
    if (probe.Get() < 0) throw createError(errno);
  }

  const size_t slash = target.rfind('/');
  const std::string folder = target.substr(0, slash + 1);
  // The temporary name stays well below the longest name a folder allows.
  const std::string name = target.substr(slash + 1, 100);
  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fdValue = -1;
  for (int attempt = 0; attempt < 100 && fdValue < 0; ++attempt) {
    temp = folder + "." + name + "." + std::to_string(::getpid()) + "-" +
           std::to_string(counter++) + "-" + std::to_string(std::time(nullptr) % 100000) + ".tmp";
    fdValue = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fdValue < 0 && errno != EEXIST) throw createError(errno);
  }
  if (fdValue < 0) throw createError(EEXIST);
  TFd fd(fdValue);
  // The new file keeps the permissions of the one it replaces.
  if (exists) (void)::fchmod(fd.Get(), st.st_mode & 07777);

  bool written = WriteAll(fd.Get(), data.data(), data.size()) && ::fsync(fd.Get()) == 0;
  if (fd.Close() != 0) written = false;
  if (!written) {
    ::unlink(temp.c_str());
    throw EWriteError(kStreamWriteErrorMessage);
  }
  if (::rename(temp.c_str(), target.c_str()) != 0) {
    int error = errno;
    ::unlink(temp.c_str());
    throw createError(error);
  }
}

}  // namespace qv
