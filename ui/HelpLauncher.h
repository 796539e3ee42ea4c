#pragma once

#include <QString>
#include <functional>

class QUrl;

// Stand-in for the help launcher until the real one is merged.
inline constexpr char HelpFileName[] = "Korvastel.chm";
void OpenHelpFile(const QString& appDirectory);
using DocumentOpener = std::function<bool(const QUrl&)>;
DocumentOpener SetDocumentOpener(DocumentOpener opener);
