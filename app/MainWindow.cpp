#include "MainWindow.h"

#include <QString>

#include "Twips.h"

namespace halvorn::shell {

MainWindow::MainWindow(QWidget* parent) : QWidget(parent) { applyForm(); }

void MainWindow::applyForm() {
  setWindowTitle(QString::fromStdString(m_form.caption));
  setFixedSize(TwipsToPixels(m_form.clientWidth, logicalDpiX()),
               TwipsToPixels(m_form.clientHeight, logicalDpiY()));
}

}  // namespace halvorn::shell
