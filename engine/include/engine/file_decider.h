#pragma once
#include <string>

#include "platform/directory_reader.h"

namespace engine {

class DScan;

// The per-file step of the folder walk.
class FileDecider {
 public:
  enum class Outcome {
    kExamined,
    // Passed over before examination (unreadable, offline, temporary, preserved system file):
    // the walk goes straight to the next entry.
    kSkipped,
  };
  virtual ~FileDecider() = default;
  virtual Outcome Decide(DScan& scan, const std::string& path, const platform::DirEntry& entry) = 0;
};

}  // namespace engine
