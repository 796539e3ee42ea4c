#pragma once

#include <functional>

class QString;
class QUrl;

// The compiled help document, looked for beside the running program.
inline constexpr char kHelpFileName[] = "Korvastel.chm";

// The same help as HTML pages, the sources the document is compiled from, in
// a folder beside the program: the first page, relative to that directory.
inline constexpr char kHelpPagesIndex[] = "help/index.html";

// Opens the help document that lies in appDirectory (which ends in '/') with
// the desktop's viewer for its type. Where the desktop has no program
// registered for CHM documents, or the viewer cannot be started, the help's
// HTML pages beside it open in the user's web browser instead. A missing
// document is not an error: the command then simply does nothing.
//
// On Linux and the BSDs the desktop is asked which program it has for the
// type (xdg-mime, the registry xdg-open itself reads) and the document or the
// pages are opened once it has answered; the window stays live meanwhile.
// Neither the viewer nor the browser is waited for. Paths go to them as file
// URLs, never through a shell, so any character in the folder name is harmless.
void OpenHelpFile(const QString& appDirectory);

// The desktop's open-a-document service: QDesktopServices::openUrl unless
// replaced. It answers whether a program could be started for the URL.
// Replacing it lets a caller watch what would be opened.
using DocumentOpener = std::function<bool(const QUrl&)>;

// Installs opener and returns the one it replaces. A help command uses the
// opener installed when it was given, also if the desktop answers later.
DocumentOpener SetDocumentOpener(DocumentOpener opener);
