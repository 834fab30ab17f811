// velnor: the watcher. A tray program that counts the uses of files on every compressing drive
// for Quobran, and stands aside while Quobran runs.
#include <QApplication>

#include "platform/process_priority.h"
#include "platform/program_directory.h"
#include "watcher_ui/t_form4.h"

int main(int argc, char** argv) {
  // Before any thread exists, so every thread Qt or the monitors start inherits it.
  platform::SetProcessBelowNormal();
  QApplication application(argc, argv);
  QApplication::setApplicationName("Velnor");
  QApplication::setQuitOnLastWindowClosed(false);
  watcher_ui::TForm4 form4(platform::ProgramDirectory());
  form4.FormCreate();
  return QApplication::exec();
}
