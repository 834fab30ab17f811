// quobran: the compressor's window.
#include <QApplication>
#include <fstream>
#include <iterator>

#include "compressor/listed_drives.h"
#include "compressor_ui/tform1.h"
#include "platform/program_directory.h"

namespace {

// The whole command line, program path included, arguments joined by blanks.
std::string CommandLine() {
  std::ifstream in("/proc/self/cmdline", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  while (!text.empty() && text.back() == '\0') text.pop_back();
  for (char& c : text) {
    if (c == '\0') c = ' ';
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Quobran"));
  QApplication::setQuitOnLastWindowClosed(false);
  const platform::SystemDriveTable system_drives;
  const compressor::ListedDrives drives(system_drives, std::getenv("QUOBRAN_DRIVES"));
  compressor::ui::TForm1 form({platform::ProgramDirectory(), &drives, nullptr, "Quobran", CommandLine()});
  if (form.AlreadyRunning()) return 0;
  form.show();
  // An aborted start ends once its message has been read; the settings are saved on the way out.
  if (!form.Running()) return 0;
  return application.exec();
}
