#pragma once

#include <QLabel>

// A borderless caption strip: the text centred in the highlight colour over
// the palette gradient. A label underneath, so screen readers read the
// caption as the static text it is; it never takes the focus.
class TCaptionPanel : public QLabel {
  Q_OBJECT
 public:
  explicit TCaptionPanel(const QString& caption, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};
