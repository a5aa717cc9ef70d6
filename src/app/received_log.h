// --log: every received byte, exactly as it came off the line, appended to a file.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>

namespace comterm {

class ReceivedLog {
 public:
  /// Opens `path` for appending, creating it when missing; raises Exception
  /// "Cannot open log file \"<path>\": <system text>" when it cannot.
  explicit ReceivedLog(const std::string& path);
  ~ReceivedLog();
  ReceivedLog(const ReceivedLog&) = delete;
  ReceivedLog& operator=(const ReceivedLog&) = delete;

  /// Appends `bytes` and hands them to the system at once, so that they are in the file
  /// however the process ends; raises Exception "Cannot write log file \"<path>\": <system
  /// text>" when they cannot all be written.
  void Write(std::string_view bytes);

 private:
  [[noreturn]] void Fail(const char* what, int error) const;

  std::string path_;
  std::FILE* file_ = nullptr;
};

}  // namespace comterm
