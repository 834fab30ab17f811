#pragma once

namespace platform {

// The watcher's below-normal priority: nice 5 on every thread of the process (a nice value
// belongs to a thread on Linux, so the monitors started earlier are lowered too). False when
// some thread could not be set.
bool SetProcessBelowNormal();

}  // namespace platform
