#pragma once
#include <array>
#include <string>
#include <string_view>

namespace engine {

// A folder is special when one of the special folders (tested in order, empty ones skipped) occurs
// anywhere in it, upper-cased on both sides. Path boundaries are not tested: /usr/ also matches
// /home/x/usr/, as C:\WINDOWS matched C:\WINDOWS.OLD.
bool IsSpecialFolder(std::string_view folder, const std::array<std::string_view, 4>& special_folders);

}  // namespace engine
