#include "ui/UFormAbout.h"

#include <QLabel>

TFormAbout::TFormAbout(QWidget* mainWindow) : QDialog(mainWindow), labelProgName_(new QLabel("Tamberon", this)) {
  setWindowTitle("О программе");
  resize(350, 337);
}
QLabel* TFormAbout::LabelProgName() const { return labelProgName_; }
void TFormAbout::ShowAbout() {
  show();
  raise();
  activateWindow();
}
