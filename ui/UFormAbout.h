#pragma once

#include <QDialog>

class QLabel;

// Stand-in for the About window until the real one is merged.
class TFormAbout : public QDialog {
  Q_OBJECT
 public:
  explicit TFormAbout(QWidget* mainWindow = nullptr);
  QLabel* LabelProgName() const;
  void ShowAbout();

 private:
  QLabel* labelProgName_;
};
