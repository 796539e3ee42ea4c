#include "ui/HelpLauncher.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QString>
#include <QUrl>
#include <utility>

namespace {

DocumentOpener& documentOpener() {
  static DocumentOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  return opener;
}

}  // namespace

void OpenHelpFile(const QString& appDirectory) {
  const QString path = appDirectory + QLatin1String(HelpFileName);
  // without the document there is nothing to show, and nothing to report
  if (!QFileInfo(path).isFile()) return;
  const DocumentOpener& open = documentOpener();
  // whether a viewer took the document is not the program's concern
  if (open) static_cast<void>(open(QUrl::fromLocalFile(path)));
}

DocumentOpener SetDocumentOpener(DocumentOpener opener) {
  return std::exchange(documentOpener(), std::move(opener));
}
