#include "ui/TSpanFileDialog.h"

#include <QFileDialog>
#include <utility>

namespace {

std::optional<QString> AskInFileDialog(const TSpanFileDialog::Request& request) {
  QFileDialog dialog(request.owner, request.title);
  TSpanFileDialog::Configure(dialog, request.purpose, request.initialName);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().constFirst();
}

TSpanFileDialog::Asker& CurrentAsker() {
  static TSpanFileDialog::Asker asker = AskInFileDialog;
  return asker;
}

}  // namespace

TSpanFileDialog::TSpanFileDialog(Purpose purpose, QWidget* owner) : purpose_(purpose), owner_(owner) {}

bool TSpanFileDialog::Execute() {
  const std::optional<QString> chosen = CurrentAsker()(Request{purpose_, Title(), fileName_, owner_});
  if (!chosen || chosen->isEmpty()) return false;
  fileName_ = *chosen;
  return true;
}

const QString& TSpanFileDialog::FileName() const { return fileName_; }

QString TSpanFileDialog::Title() const {
  return purpose_ == Purpose::Open ? QStringLiteral("Открытие файла") : QStringLiteral("Сохранение файла");
}

void TSpanFileDialog::Configure(QFileDialog& dialog, Purpose purpose, const QString& initialName) {
  // Windows' own dialog there, as users of Windows programs expect; Qt's
  // elsewhere, whatever dialogs the desktop offers
#if !defined(Q_OS_WIN)
  dialog.setOption(QFileDialog::DontUseNativeDialog);
#endif
  dialog.setAcceptMode(purpose == Purpose::Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
  // AnyFile on open too: a missing name comes back and the file layer reports
  // "File not found" for it, in the program's one error box
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setNameFilter(QStringLiteral("*.txt"));
  dialog.setDefaultSuffix(QStringLiteral("txt"));
  if (!initialName.isEmpty()) dialog.selectFile(initialName);
}

TSpanFileDialog::Asker TSpanFileDialog::SetAsker(Asker asker) {
  return std::exchange(CurrentAsker(), std::move(asker));
}
