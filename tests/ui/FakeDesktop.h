#pragma once

// A desktop of the test's own making for the help command. Its XDG folders
// lie in a temporary folder, so which program the desktop has for CHM
// documents is the test's choice, whatever the machine has installed; it is
// asked through the real xdg-mime. The environment is put back on destruction.
// On Windows nothing reads it: the shell keeps its own registrations.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>
#include <QTemporaryDir>
#include <optional>
#include <utility>
#include <vector>

class FakeDesktop {
 public:
  FakeDesktop() {
    const QString home = dir_.path();
    set("XDG_DATA_HOME", home + "/data");
    set("XDG_DATA_DIRS", home + "/system-data");
    set("XDG_CONFIG_HOME", home + "/config");
    set("XDG_CONFIG_DIRS", home + "/system-config");
    // a plain desktop: xdg-mime reads the registrations itself, asks no session
    set("XDG_CURRENT_DESKTOP", "X-Generic");
    for (const char* name : {"XDG_MENU_PREFIX", "KDE_FULL_SESSION", "GNOME_DESKTOP_SESSION_ID",
                             "MATE_DESKTOP_SESSION_ID", "DESKTOP_SESSION"})
      set(name, std::nullopt);
  }
  ~FakeDesktop() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) restore(it->first, it->second);
  }
  FakeDesktop(const FakeDesktop&) = delete;
  FakeDesktop& operator=(const FakeDesktop&) = delete;

  bool isValid() const { return dir_.isValid(); }

  // Installs a program's desktop entry among the user's applications, declared
  // for mimeType. Its program is a real file: xdg-utils 1.2 takes an entry
  // only when its command resolves to one, which a shell built-in does not.
  bool InstallProgram(const QString& desktopId, const QString& mimeType) {
    QString program = QStandardPaths::findExecutable(QStringLiteral("true"));
    if (program.isEmpty()) program = QStringLiteral("true");  // Windows, where nothing reads the entry
    return write("data/applications/" + desktopId, "[Desktop Entry]\nType=Application\nName=" + desktopId +
                                                       "\nExec=" + program + " %f\nMimeType=" + mimeType +
                                                       ";\n");
  }

  // Makes desktopId the user's choice for mimeType.
  bool ChooseProgram(const QString& desktopId, const QString& mimeType) {
    return write("config/mimeapps.list", "[Default Applications]\n" + mimeType + "=" + desktopId + ";\n");
  }

  // Leaves no program on the search path: xdg-utils is not installed.
  void RemoveXdgUtils() { set("PATH", dir_.path() + "/no-programs"); }

 private:
  void set(const char* name, const std::optional<QString>& value) {
    saved_.emplace_back(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
    restore(name, value ? std::optional(value->toLocal8Bit()) : std::nullopt);
  }
  static void restore(const QByteArray& name, const std::optional<QByteArray>& value) {
    if (value)
      qputenv(name.constData(), *value);
    else
      qunsetenv(name.constData());
  }
  bool write(const QString& relativePath, const QString& text) {
    const QString path = dir_.filePath(relativePath);
    if (!QDir().mkpath(QFileInfo(path).path())) return false;
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) == text.toUtf8().size();
  }

  QTemporaryDir dir_;
  std::vector<std::pair<QByteArray, std::optional<QByteArray>>> saved_;
};
