#include "ui/FailureReport.h"

#include <utility>

namespace {

FailureReporter& CurrentReporter() {
  static FailureReporter reporter;
  return reporter;
}

}  // namespace

FailureReporter SetFailureReporter(FailureReporter reporter) {
  return std::exchange(CurrentReporter(), std::move(reporter));
}

void ReportFailure(std::exception_ptr failure, const QObject* where) {
  if (!CurrentReporter()) std::rethrow_exception(failure);
  CurrentReporter()(std::move(failure), where);
}
