#include "ui/HelpLauncher.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QUrl>
#include <utility>

namespace {

DocumentOpener& CurrentDocumentOpener() {
  static DocumentOpener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
  return opener;
}

// Shows the document where a viewer is registered for it, else the pages.
void OpenDocumentOrPages(const DocumentOpener& open, const QString& appDirectory, bool viewerRegistered) {
  if (!open) return;
  if (viewerRegistered && open(QUrl::fromLocalFile(appDirectory + QLatin1String(kHelpFileName)))) return;
  const QString pages = appDirectory + QLatin1String(kHelpPagesIndex);
  if (QFileInfo(pages).isFile()) static_cast<void>(open(QUrl::fromLocalFile(pages)));
}

#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)

// The type CHM viewers register for; file(1) and the shared MIME database
// both give it to a .chm file, and xdg-open looks its program up by it.
constexpr char kHelpFileType[] = "application/vnd.ms-htmlhelp";

// How long the desktop may take to name the viewer before the pages are shown.
constexpr int kViewerQueryTimeoutMs = 5000;

// Calls then(true) once the desktop has named a program for CHM documents,
// then(false) if it has none, cannot be asked or does not answer in time.
// Neither opening the document nor xdg-open's exit status can tell: Qt reports
// success as soon as xdg-open has started, and xdg-open, having no program for
// the type, hands the document to the web browser, which can only offer to
// download it.
void WhenViewerKnown(std::function<void(bool)> then) {
  auto* query = new QProcess(QCoreApplication::instance());
  query->setStandardInputFile(QProcess::nullDevice());
  query->setStandardErrorFile(QProcess::nullDevice());
  QObject::connect(query, &QProcess::finished, query, [query, then](int code, QProcess::ExitStatus status) {
    query->deleteLater();
    // the answer is the desktop entry's file name, or nothing
    then(status == QProcess::NormalExit && code == 0 && !query->readAllStandardOutput().trimmed().isEmpty());
  });
  QObject::connect(query, &QProcess::errorOccurred, query, [query, then](QProcess::ProcessError error) {
    // without xdg-utils no program can be found for the document either
    if (error != QProcess::FailedToStart) return;
    query->deleteLater();
    then(false);
  });
  QTimer::singleShot(kViewerQueryTimeoutMs, query, [query] { query->kill(); });
  query->start(QStringLiteral("xdg-mime"),
               {QStringLiteral("query"), QStringLiteral("default"), QLatin1String(kHelpFileType)});
}

#else

// Elsewhere the desktop's open service itself fails for a type without a program.
void WhenViewerKnown(const std::function<void(bool)>& then) { then(true); }

#endif

}  // namespace

void OpenHelpFile(const QString& appDirectory) {
  // without the document there is nothing to show, and nothing to report
  if (!QFileInfo(appDirectory + QLatin1String(kHelpFileName)).isFile()) return;
  WhenViewerKnown([appDirectory, open = CurrentDocumentOpener()](bool viewerRegistered) {
    OpenDocumentOrPages(open, appDirectory, viewerRegistered);
  });
}

DocumentOpener SetDocumentOpener(DocumentOpener opener) {
  return std::exchange(CurrentDocumentOpener(), std::move(opener));
}
