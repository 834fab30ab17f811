#include "platform/program_directory.h"

#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace platform {

std::string ProgramDirectory() {
  std::string directory;
  const char* home = std::getenv("QUOBRAN_HOME");
  if (home != nullptr && *home != '\0') {
    directory = home;
  } else {
    std::vector<char> buffer(4096);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
    if (length > 0) {
      directory.assign(buffer.data(), static_cast<size_t>(length));
      directory.erase(directory.find_last_of('/') + 1);
    }
  }
  if (directory.empty()) directory = "./";
  if (directory.back() != '/') directory.push_back('/');
  return directory;
}

}  // namespace platform
