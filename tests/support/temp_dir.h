#pragma once
#include <string>

namespace testing_support {

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  explicit TempDir(const std::string& parent);
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  ~TempDir();

  // With a trailing '/'.
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

void WriteFile(const std::string& path, const std::string& contents);
std::string ReadFile(const std::string& path);
void MakeDirs(const std::string& path);
// Runs a shell command; returns its exit status.
int Shell(const std::string& command);

}  // namespace testing_support
