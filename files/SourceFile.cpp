#include "files/SourceFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>

#include "files/PlatformFiles.h"
#include "view/SystemError.h"

namespace jig {

namespace {

// SIZE_MAX: no fault.
std::atomic<std::size_t> g_readFaultAfter{SIZE_MAX};

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) platform::CloseFile(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

SourceFile Problem(SourceProblem problem, int error = 0, std::uint64_t size = 0) {
  SourceFile source;
  source.problem = problem;
  source.error = error;
  source.size = size;
  return source;
}


}  // namespace

void InjectSourceReadFault(std::optional<std::size_t> afterBytes) { g_readFaultAfter = afterBytes.value_or(SIZE_MAX); }

SourceFile ReadSourceFile(const std::string& path, std::size_t maxSize) {
  if (path.empty()) return Problem(SourceProblem::CannotOpen, ENOENT);
  // A FIFO without a writer must not hold the window: the open does not wait, and anything
  // but a regular file is refused below.
  const Descriptor file(platform::OpenSource(path));
  if (file.get() < 0) {
    const int error = errno;
    // Where a folder cannot even be opened (Windows), it is still no image.
    if (platform::IsDirectory(path)) return Problem(SourceProblem::NotRegular);
    return Problem(SourceProblem::CannotOpen, error);
  }
  std::uint64_t size = 0;
  bool regular = false;
  if (!platform::RegularFileSize(file.get(), size, regular)) return Problem(SourceProblem::ReadError, errno);
  if (!regular) return Problem(SourceProblem::NotRegular);
  if (size == 0) return Problem(SourceProblem::Empty);
  if (size > maxSize) return Problem(SourceProblem::TooLarge, 0, size);

  SourceFile source;
  source.size = size;
  source.bytes.resize(static_cast<std::size_t>(size));
  const std::size_t faultAfter = g_readFaultAfter.load();
  std::size_t done = 0;
  while (done < source.bytes.size()) {
    std::size_t want = source.bytes.size() - done;
    if (faultAfter != SIZE_MAX) {
      if (done >= faultAfter) return Problem(SourceProblem::ReadError, EIO, size);
      want = std::min(want, faultAfter - done);
    }
    const long n = platform::ReadSome(file.get(), source.bytes.data() + done, want);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Problem(SourceProblem::ReadError, errno, size);
    // A file that shrank while it was read is no image of what the technician chose.
    if (n == 0) return Problem(SourceProblem::ReadError, EIO, size);
    done += static_cast<std::size_t>(n);
  }
  return source;
}

std::string SourceProblemLine(const std::string& path, const SourceFile& source, std::size_t maxSize,
                              LogLanguage language, ChipInvolved chip) {
  const bool ru = language == LogLanguage::Russian;
  const std::string tail = chip == ChipInvolved::No ? "." : ru ? "; микросхема не тронута." : "; the chip is not touched.";
  switch (source.problem) {
    case SourceProblem::CannotOpen:
      return (ru ? "Файл " + path + " не открывается (" : "The file " + path + " cannot be opened (") +
             SystemErrorText(source.error) + ")" + tail;
    case SourceProblem::NotRegular:
      return (ru ? path + " — не обычный файл (папка, канал или устройство)"
                 : path + " is not a regular file (a folder, a pipe or a device)") + tail;
    case SourceProblem::Empty:
      return (ru ? "Файл " + path + " пуст" : "The file " + path + " is empty") + tail;
    case SourceProblem::TooLarge:
      return (ru ? "Файл " + path + " содержит " + std::to_string(source.size) + " байт, больше, чем " +
                       std::to_string(maxSize) + " байт микросхемы"
                 : "The file " + path + " holds " + std::to_string(source.size) + " bytes, more than the chip's " +
                       std::to_string(maxSize)) + tail;
    case SourceProblem::ReadError:
      return (ru ? "Файл " + path + " не прочитан целиком (" : "The file " + path + " could not be read whole (") +
             SystemErrorText(source.error) + ")" + tail;
    case SourceProblem::None: break;
  }
  return {};
}

std::string SourceProblemReason(const SourceFile& source, std::size_t maxSize) {
  switch (source.problem) {
    case SourceProblem::CannotOpen: return "cannot be opened (" + SystemErrorText(source.error) + ")";
    case SourceProblem::NotRegular: return "is not a regular file";
    case SourceProblem::Empty: return "is empty";
    case SourceProblem::TooLarge: return "is larger than " + std::to_string(maxSize) + " bytes";
    case SourceProblem::ReadError: return "could not be read whole (" + SystemErrorText(source.error) + ")";
    case SourceProblem::None: break;
  }
  return {};
}

std::string DataFileProblemLine(const std::string& path, const SourceFile& source, std::size_t maxSize) {
  if (source.ok()) return {};
  return path + " " + SourceProblemReason(source, maxSize) + "; it is not used.";
}

}  // namespace jig
