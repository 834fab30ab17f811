#pragma once
#include <string>

namespace platform {

// Where settings, log and data files live: $QUOBRAN_HOME when set, else the folder of the running
// executable; with a trailing '/'.
std::string ProgramDirectory();

}  // namespace platform
