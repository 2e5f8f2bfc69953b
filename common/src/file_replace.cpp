#include <common/file_replace.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <unistd.h>

namespace orb {
namespace {

std::filesystem::path part_of(const std::filesystem::path& file) { return file.string() + ".part"; }

}  // namespace

bool replace_file(const std::filesystem::path& file, std::string_view contents, std::string* error) {
  const std::filesystem::path part = part_of(file);
  auto failed = [&](const char* what) {
    if (error) *error = std::string(what) + " " + part.string() + ": " + std::strerror(errno);
    ::unlink(part.c_str());
    return false;
  };
  const int fd = ::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return failed("cannot create");
  for (std::size_t done = 0; done < contents.size();) {
    const ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const int saved = errno;
      ::close(fd);
      errno = saved != 0 ? saved : ENOSPC;
      return failed("cannot write");
    }
    done += static_cast<std::size_t>(n);
  }
  if (::fsync(fd) != 0) {
    const int saved = errno;
    ::close(fd);
    errno = saved;
    return failed("cannot flush");
  }
  if (::close(fd) != 0) return failed("cannot close");
  if (std::rename(part.c_str(), file.c_str()) != 0) return failed("cannot rename");
  return true;
}

void remove_stale_part(const std::filesystem::path& file) { ::unlink(part_of(file).c_str()); }

}  // namespace orb
