#pragma once
#include <memory>
#include <string>

namespace platform {

// A per-user presence marker that the kernel drops when the holding process ends, also on a
// crash: an abstract Unix socket "@<name>.<uid>" that its holder listens on.
class NamedMarker {
 public:
  ~NamedMarker();
  NamedMarker(const NamedMarker&) = delete;
  NamedMarker& operator=(const NamedMarker&) = delete;

  enum class CreateResult { kCreated, kAlreadyExists, kFailed };
  // Takes the name. kAlreadyExists when another process (or this one) holds it.
  static std::unique_ptr<NamedMarker> Create(const std::string& name, CreateResult& result);
  // Whether somebody holds the name; never takes it, not even for a moment.
  static bool Exists(const std::string& name);
  // Hands a short message to the holder of the name; false when nobody holds it.
  static bool Send(const std::string& name, const std::string& message);

  // The listening descriptor: readable when a message (or a probe) is waiting.
  int Descriptor() const { return fd_; }
  // Takes every waiting connection and returns the messages they carried (probes carry none).
  std::string ReceivePending();

 private:
  explicit NamedMarker(int fd) : fd_(fd) {}
  int fd_;
};

}  // namespace platform
