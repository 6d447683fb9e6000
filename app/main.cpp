// Starts the front panel: one window, shown until the operator closes it.
#include <QApplication>

#include "MainWindow.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  halvorn::shell::MainWindow window;
  window.show();
  return QApplication::exec();
}
