// Renders the Disk Informer as Velnor shows it after activity on two drives, for the README.
#include <QApplication>

#include "watcher_ui/t_form6.h"

int main(int argc, char** argv) {
  if (argc != 3) return 2;  // informer_screenshot SETTINGS_FOLDER OUTPUT.png
  QApplication application(argc, argv);
  watcher_ui::TForm6 form(std::string(argv[1]) + "/Quobran.ini");
  form.SetText("/  /home  ");
  form.SetAlpha(193);
  form.show();
  QApplication::processEvents();
  return form.grab().save(argv[2]) ? 0 : 1;
}
