#pragma once

#include <QString>
#include <functional>
#include <optional>

class QFileDialog;
class QWidget;

// One of the main window's two span file dialogs, open or save. Each asks in
// Qt's own dialog (the same on every desktop, in the program's language) with
// one "*.txt" filter, ".txt" added to a name typed without an extension, no
// overwrite question, and a name that does not exist accepted on open too, so
// that the file layer reports it. Each starts with the name last chosen in it.
class TSpanFileDialog {
 public:
  enum class Purpose { Open, Save };

  // What one showing of the dialog is asked with.
  struct Request {
    Purpose purpose;
    QString title;
    QString initialName;  // empty the first time
    QWidget* owner;
  };
  // Asks for a name: the chosen full path, or nothing when cancelled.
  using Asker = std::function<std::optional<QString>(const Request&)>;

  TSpanFileDialog(Purpose purpose, QWidget* owner);

  // Asks; true when a name was chosen, which FileName() then returns.
  bool Execute();
  const QString& FileName() const;
  QString Title() const;

  // Sets a QFileDialog up as a span file dialog for `purpose`.
  static void Configure(QFileDialog& dialog, Purpose purpose, const QString& initialName);

  // Replaces how every span file dialog asks (the real dialog by default),
  // e.g. by a test's answer; returns the asker it replaces.
  static Asker SetAsker(Asker asker);

 private:
  Purpose purpose_;
  QWidget* owner_;
  QString fileName_;
};
