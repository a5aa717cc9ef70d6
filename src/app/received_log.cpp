#include "app/received_log.h"

#include <cerrno>
#include <cstring>

#include "runtime/exceptions.h"
#include "runtime/format.h"

namespace comterm {

ReceivedLog::ReceivedLog(const std::string& path) : path_(path) {
  errno = 0;
  // Binary append: no byte is translated, nothing already in the file is touched.
  file_ = std::fopen(path.c_str(), "ab");
  if (file_ == nullptr) Fail("open", errno);
}

ReceivedLog::~ReceivedLog() {
  if (file_ != nullptr) std::fclose(file_);
}

void ReceivedLog::Write(std::string_view bytes) {
  errno = 0;
  const std::size_t written = std::fwrite(bytes.data(), 1, bytes.size(), file_);
  if (written != bytes.size() || std::fflush(file_) != 0) Fail("write", errno);
}

void ReceivedLog::Fail(const char* what, int error) const {
  const std::string text = error != 0 ? std::strerror(error) : "Unknown error";
  throw Exception(Format("Cannot %s log file \"%s\": %s", {what, path_, text}));
}

}  // namespace comterm
