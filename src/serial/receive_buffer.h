// The port's receive buffer: bytes taken from the driver and not yet handed out.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>

namespace comterm {

/// A byte string that is read from its front one byte at a time. Taking the first byte
/// costs no copy of the rest, so a packet of n bytes handed out byte by byte costs O(n).
class ReceiveBuffer {
 public:
  ReceiveBuffer() = default;
  /// Replaces the content.
  ReceiveBuffer& operator=(std::string bytes) {
    bytes_ = std::move(bytes);
    start_ = 0;
    return *this;
  }

  bool empty() const { return start_ == bytes_.size(); }
  std::size_t size() const { return bytes_.size() - start_; }
  /// The content as a string view; valid until the next change.
  std::string_view view() const { return std::string_view(bytes_).substr(start_); }
  void clear() { *this = std::string(); }

  /// Removes and returns the first byte; the buffer must not be empty.
  char PopFront() {
    const char first = bytes_[start_++];
    if (empty()) clear();
    return first;
  }
  /// Removes up to `count` bytes from the front and returns them as a view, which stays
  /// valid until the content is next replaced or cleared.
  std::string_view TakeFront(std::size_t count) {
    const std::string_view front = view().substr(0, count);
    start_ += front.size();
    return front;
  }
  /// Removes and returns the whole content.
  std::string TakeAll() {
    std::string all = bytes_.substr(start_);
    clear();
    return all;
  }

  friend bool operator==(const ReceiveBuffer& buffer, std::string_view bytes) {
    return buffer.view() == bytes;
  }
  friend std::ostream& operator<<(std::ostream& out, const ReceiveBuffer& buffer) {
    return out << '"' << buffer.view() << '"';
  }

 private:
  std::string bytes_;
  std::size_t start_ = 0;
};

}  // namespace comterm
