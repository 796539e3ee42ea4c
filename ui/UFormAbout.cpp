#include "ui/UFormAbout.h"

#include <QFont>
#include <QGuiApplication>
#include <QHideEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QResizeEvent>
#include <QScreen>
#include <algorithm>

#include "ui/DesignFont.h"
#include "ui/ProgramIcons.h"

namespace {

// Client area, in pixels at 96 dpi; Qt's device-independent pixels carry the
// sizes to high-DPI screens.
constexpr int kClientWidth = 350;
constexpr int kClientHeight = 337;
constexpr int kNameStripHeight = 41;
constexpr int kNoticeHeight = 22;
constexpr int kCompanyHeight = 40;

const QColor kMaroon(0x80, 0x00, 0x00);

QFont ArialFont(int pixelSize, QFont::Weight weight = QFont::Normal, bool italic = false) {
  return DesignFont(DesignFace::Arial, pixelSize, weight, italic);
}

}  // namespace

TFormAbout::TFormAbout(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                              Qt::WindowCloseButtonHint),
      mainWindow_(mainWindow) {
  setObjectName(QStringLiteral("FormAbout"));
  setWindowTitle(QStringLiteral("О программе"));
  setWindowIcon(ProgramIcon(QStringLiteral("korvastel")));
  setFont(DesignFont(DesignFace::MsSansSerif, 11));

  QPalette buttonFace = palette();
  buttonFace.setColor(QPalette::Window, buttonFace.color(QPalette::Button));
  setPalette(buttonFace);
  setAutoFillBackground(true);

  setFixedSize(kClientWidth, kClientHeight);
  CreateLabels();
  DockBottomLabels();
}

QLabel* TFormAbout::LabelProgName() const { return labelProgName_; }

void TFormAbout::ShowAbout() {
  if (!isVisible()) {
    // first show: over the main window; afterwards: where the user left it
    move(shownBefore_ ? lastPosition_ : CentreOverMainWindow());
    shownBefore_ = true;
    show();
  }
  raise();
  activateWindow();
}

void TFormAbout::CreateLabels() {
  // Every label's text is shown as written: no rich text, no mnemonics.
  // Until the main window writes the application title, the name strip
  // already carries the program's own name.
  labelProgName_ = AddLabel(QStringLiteral("Korvastel"), DesignFont(DesignFace::ArialBlack, 29, QFont::Black),
                            Qt::AlignCenter);
  labelProgName_->setObjectName(QStringLiteral("LabelProgName"));
  QPalette maroon = labelProgName_->palette();
  maroon.setColor(QPalette::WindowText, kMaroon);
  labelProgName_->setPalette(maroon);

  labelVersion_ = AddLabel(QStringLiteral("version " KORVASTEL_VERSION), ArialFont(16), Qt::AlignHCenter | Qt::AlignTop);
  labelVersion_->setObjectName(QStringLiteral("LabelVersion"));
  PlaceAutoSized(labelVersion_, 136, 43);

  label3_ = AddLabel(QStringLiteral("Расчёт приведённого пролета"), ArialFont(13, QFont::Bold),
                     Qt::AlignHCenter | Qt::AlignTop);
  label3_->setObjectName(QStringLiteral("Label3"));
  PlaceAutoSized(label3_, 87, 77);

  const QFont caption = ArialFont(13, QFont::Bold, true);
  const QFont credit = ArialFont(13);
  const Qt::Alignment leftTop = Qt::AlignLeft | Qt::AlignTop;

  label6_ = AddLabel(QStringLiteral("Разработчик:"), caption, leftTop);
  label6_->setObjectName(QStringLiteral("Label6"));
  PlaceAutoSized(label6_, 40, 173);

  label7_ = AddLabel(QStringLiteral("Программисты:"), caption, leftTop);
  label7_->setObjectName(QStringLiteral("Label7"));
  PlaceAutoSized(label7_, 216, 173);

  labelAuthor_ =
      AddLabel(QStringLiteral("Команда Korvastel\nдля проектировщиков\nвоздушных линий"), credit, leftTop);
  labelAuthor_->setObjectName(QStringLiteral("LabelAuthor"));
  PlaceAutoSized(labelAuthor_, 40, 197);

  label9_ = AddLabel(QStringLiteral("Команда Korvastel\nC++ и Qt 6"), credit, leftTop);
  label9_->setObjectName(QStringLiteral("Label9"));
  PlaceAutoSized(label9_, 216, 197);

  label4_ = AddLabel(QStringLiteral("© 2026 Команда Korvastel. Все права защищены."), font(),
                     Qt::AlignHCenter | Qt::AlignTop);
  label4_->setObjectName(QStringLiteral("Label4"));

  label5_ = AddLabel(QStringLiteral("Команда Korvastel\nПрограммы для проектировщиков ВЛ"),
                     DesignFont(DesignFace::MsSansSerif, 13), Qt::AlignHCenter | Qt::AlignTop);
  label5_->setObjectName(QStringLiteral("Label5"));
}

QLabel* TFormAbout::AddLabel(const QString& text, const QFont& labelFont, Qt::Alignment alignment) {
  auto* label = new QLabel(text, this);
  label->setTextFormat(Qt::PlainText);
  label->setFont(labelFont);
  label->setAlignment(alignment);
  // a click on a label belongs to the label, which does nothing with it;
  // only the free client area closes the window
  label->setAttribute(Qt::WA_NoMousePropagation);
  return label;
}

// Labels that size themselves to their text keep their top-left corner.
void TFormAbout::PlaceAutoSized(QLabel* label, int left, int top) {
  label->move(left, top);
  label->adjustSize();
}

// The name strip is docked to the top, the company rows to the bottom and the
// rights notice just above them, all across the full width.
void TFormAbout::DockBottomLabels() {
  const int w = width();
  const int h = height();
  labelProgName_->setGeometry(0, 0, w, kNameStripHeight);
  label5_->setGeometry(0, h - kCompanyHeight, w, kCompanyHeight);
  label4_->setGeometry(0, h - kCompanyHeight - kNoticeHeight, w, kNoticeHeight);
}

// Where the window's top-left corner goes so that its frame is centred over
// the main window's frame (over the screen when there is no main window),
// kept on that screen. The own frame is not known before the first show, so
// the main window's decorations stand in for it.
QPoint TFormAbout::CentreOverMainWindow() const {
  QRect over;
  QSize decorations;
  if (mainWindow_ != nullptr && mainWindow_->isVisible()) {
    over = mainWindow_->frameGeometry();
    decorations = over.size() - mainWindow_->size();
  } else if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    over = screen->availableGeometry();
  }
  const QSize outer = size() + decorations;
  QRect placed(QPoint(), outer);
  placed.moveCenter(over.center());

  const QScreen* screen = QGuiApplication::screenAt(over.center());
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  if (screen != nullptr) {
    const QRect room = screen->availableGeometry();
    placed.moveRight(std::min(placed.right(), room.right()));
    placed.moveBottom(std::min(placed.bottom(), room.bottom()));
    placed.moveLeft(std::max(placed.left(), room.left()));
    placed.moveTop(std::max(placed.top(), room.top()));
  }
  return placed.topLeft();
}

void TFormAbout::mousePressEvent(QMouseEvent* event) {
  // labels keep their clicks, so a press that arrives here lies on free area
  if (event->button() == Qt::LeftButton) leftPressedOnForm_ = true;
  QDialog::mousePressEvent(event);
}

void TFormAbout::mouseReleaseEvent(QMouseEvent* event) {
  // a click is a press and a release of the left button, both on the window
  const bool click =
      event->button() == Qt::LeftButton && leftPressedOnForm_ && rect().contains(event->position().toPoint());
  if (event->button() == Qt::LeftButton) leftPressedOnForm_ = false;
  QDialog::mouseReleaseEvent(event);
  if (click) hide();
}

void TFormAbout::hideEvent(QHideEvent* event) {
  lastPosition_ = pos();
  leftPressedOnForm_ = false;
  QDialog::hideEvent(event);
}

void TFormAbout::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  DockBottomLabels();
}
