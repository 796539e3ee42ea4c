#pragma once

#include <exception>
#include <functional>

class QObject;

// Where a command's failure goes: the application's one error box.
//
// Qt's own libraries are built without exception support, so an exception
// unwinding through their frames (an action's trigger, a button's click, the
// event dispatch) skips their clean-up and leaves them half-way. The windows
// therefore catch every failure where Qt called them and hand it on here; the
// application installs the reporter that shows the box. `where` is the object
// whose handler failed.
using FailureReporter = std::function<void(std::exception_ptr failure, const QObject* where)>;

// Installs reporter and returns the one it replaces. Without one, a failure is
// thrown on, to whatever catches it further out.
FailureReporter SetFailureReporter(FailureReporter reporter);

void ReportFailure(std::exception_ptr failure, const QObject* where);
