#include "ui/HelpLauncher.h"

#include <QDesktopServices>
#include <QUrl>

namespace {
DocumentOpener& Opener() {
  static DocumentOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  return opener;
}
}  // namespace

void OpenHelpFile(const QString& appDirectory) {
  Opener()(QUrl::fromLocalFile(appDirectory + HelpFileName));
}
DocumentOpener SetDocumentOpener(DocumentOpener opener) {
  DocumentOpener previous = std::move(Opener());
  Opener() = std::move(opener);
  return previous;
}
