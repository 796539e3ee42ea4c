#pragma once

#include <functional>

class QString;
class QUrl;

// The compiled help document, looked for beside the running program.
inline constexpr char HelpFileName[] = "Korvastel.chm";

// Opens the help document that lies in appDirectory (which ends in '/') with
// the desktop's viewer for its type. A missing document or viewer is not an
// error: the command then simply does nothing. The viewer is started on its
// own and never waited for; the path goes to it as a file URL, never through
// a shell, so any character in the folder name is harmless.
void OpenHelpFile(const QString& appDirectory);

// The desktop's open-a-document service: QDesktopServices::openUrl unless
// replaced. Replacing it lets a caller watch what would be opened.
using DocumentOpener = std::function<bool(const QUrl&)>;

// Installs opener and returns the one it replaces.
DocumentOpener SetDocumentOpener(DocumentOpener opener);
