#include "platform/named_marker.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>

namespace platform {

namespace {

constexpr int kBacklog = 16;
constexpr size_t kMaxMessage = 256;

// "@<name>.<uid>": the leading NUL makes the name abstract, so no file is left behind and the
// kernel drops it with the last descriptor; the uid keeps users apart.
socklen_t AddressFor(const std::string& name, sockaddr_un& address) {
  address = sockaddr_un{};
  address.sun_family = AF_UNIX;
  const std::string abstract = name + "." + std::to_string(getuid());
  const size_t length = std::min(abstract.size(), sizeof address.sun_path - 1);
  std::memcpy(address.sun_path + 1, abstract.data(), length);
  return static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + length);
}

// A connected socket to the holder, or -1 when nobody holds the name.
int Connect(const std::string& name) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) return -1;
  sockaddr_un address;
  const socklen_t length = AddressFor(name, address);
  if (connect(fd, reinterpret_cast<sockaddr*>(&address), length) == 0) return fd;
  // A full backlog still means somebody listens there.
  const bool held = errno == EAGAIN;
  close(fd);
  return held ? -2 : -1;
}

}  // namespace

NamedMarker::~NamedMarker() {
  if (fd_ >= 0) close(fd_);
}

std::unique_ptr<NamedMarker> NamedMarker::Create(const std::string& name, CreateResult& result) {
  const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    result = CreateResult::kFailed;
    return nullptr;
  }
  sockaddr_un address;
  const socklen_t length = AddressFor(name, address);
  if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    result = errno == EADDRINUSE ? CreateResult::kAlreadyExists : CreateResult::kFailed;
    close(fd);
    return nullptr;
  }
  if (listen(fd, kBacklog) != 0) {
    result = CreateResult::kFailed;
    close(fd);
    return nullptr;
  }
  result = CreateResult::kCreated;
  return std::unique_ptr<NamedMarker>(new NamedMarker(fd));
}

bool NamedMarker::Exists(const std::string& name) {
  const int fd = Connect(name);
  if (fd >= 0) close(fd);
  return fd != -1;
}

bool NamedMarker::Send(const std::string& name, const std::string& message) {
  const int fd = Connect(name);
  if (fd == -1) return false;
  if (fd >= 0) {
    [[maybe_unused]] const ssize_t sent = send(fd, message.data(), std::min(message.size(), kMaxMessage), MSG_NOSIGNAL);
    close(fd);
  }
  return true;
}

std::string NamedMarker::ReceivePending() {
  std::string messages;
  for (;;) {
    const int connection = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) return messages;
    char buffer[kMaxMessage];
    // The sender wrote before it closed; a probe wrote nothing.
    const ssize_t got = recv(connection, buffer, sizeof buffer, MSG_DONTWAIT);
    if (got > 0) messages.append(buffer, static_cast<size_t>(got));
    close(connection);
  }
}

}  // namespace platform
