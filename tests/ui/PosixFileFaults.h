// The POSIX side of the window tests' hostile files and system probes; WindowsFileFaults.h is its twin.
#pragma once

// What the hostile-input tests need of a POSIX system: a full device to save
// to, the system call a thread of this program waits in (to see the window
// blocked on a FIFO), and what /proc tells of this process's memory. It also
// brings the system's file calls that the tests make on FIFOs themselves.
#include <QtGlobal>
#if !defined(Q_OS_WIN)
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QString>
#include <chrono>
#include <cstdlib>
#include <optional>
#include <thread>

// One kB figure of /proc/self/status ("VmRSS", "VmHWM"), or -1.
inline qint64 StatusKb(const QByteArray& field) {
  QFile status(QStringLiteral("/proc/self/status"));
  if (!status.open(QIODevice::ReadOnly | QIODevice::Text)) return -1;
  for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
    if (line.startsWith(field + ':'))
      return line.mid(field.size() + 1).trimmed().split(' ').first().toLongLong();
  return -1;
}

// Lets the peak resident size start again from the present one; false where
// the system keeps no peak that can be reset.
inline bool ResetPeakMemory() {
  QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
  return clearRefs.open(QIODevice::WriteOnly) && clearRefs.write("5") == 1 && clearRefs.flush();
}

// By how much this process's peak resident size grows from this object's
// making to Kb(), in kB. Where the peak cannot be reset it is the peak so far
// that Kb() is measured from.
class PeakMemoryGrowth {
 public:
  PeakMemoryGrowth()
      : resettable_(ResetPeakMemory()), before_(resettable_ ? StatusKb("VmRSS") : MaxResidentKb()) {}
  qint64 Kb() const { return (resettable_ ? StatusKb("VmHWM") : MaxResidentKb()) - before_; }

 private:
  static qint64 MaxResidentKb() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
  }

  bool resettable_;
  qint64 before_;
};

inline pid_t CurrentThreadId() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// Under a user-mode emulator (qemu-user runs the ARM64 build) /proc shows the
// emulator's own process: its memory, and the system calls it makes in the
// machine's numbering. Told apart by the read of /proc/self/syscall itself,
// which is reported under another number than this program's SYS_read.
inline bool ProcDescribesAnEmulator() {
  const int file = ::open("/proc/self/syscall", O_RDONLY | O_CLOEXEC);
  if (file < 0) return false;
  char text[256] = {};
  const ssize_t size = ::read(file, text, sizeof text - 1);
  ::close(file);
  char* end = text;
  const long number = size > 0 ? std::strtol(text, &end, 10) : -1;
  return end != text && number != SYS_read;
}

// The system call thread `tid` of this process waits in, with its first
// argument; number -1 while it runs, nothing where the system does not tell.
struct WaitingCall {
  long number = -1;
  long firstArgument = -1;
};
inline std::optional<WaitingCall> WaitingCallOf(pid_t tid) {
  QFile file(QStringLiteral("/proc/self/task/%1/syscall").arg(tid));
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  const QList<QByteArray> fields = file.readAll().trimmed().split(' ');
  WaitingCall call;
  bool isNumber = false;
  const long number = fields.value(0).toLong(&isNumber);
  if (isNumber && fields.size() > 1) call = {number, fields[1].toLong(nullptr, 16)};
  return call;
}

// Whether a call the thread waits in waits on the FIFO `fifo`: a read or a
// write names its descriptor.
inline bool WaitsOnFifo(const WaitingCall& call, const QString& fifo) {
  return (call.number == SYS_read || call.number == SYS_write) &&
         QFile::symLinkTarget(QStringLiteral("/proc/self/fd/%1").arg(call.firstArgument)) == fifo;
}

// Waits (up to 10 s) until thread `tid` is blocked on the FIFO `fifo` in the
// system call `number` (SYS_read or SYS_write).
inline bool WaitUntilBlockedIn(pid_t tid, long number, const QString& fifo) {
  for (auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
       std::chrono::steady_clock::now() < deadline;) {
    const std::optional<WaitingCall> call = WaitingCallOf(tid);
    if (call && call->number == number && WaitsOnFifo(*call, fifo)) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

// A node of the full device in `folder`, so that however a save to it goes
// wrong the system's own /dev/full is never at stake; /dev/full itself only
// where this user could not replace it anyway. Empty when neither will do.
inline QString FullDevice(const QString& folder) {
  const QByteArray node = QFile::encodeName(folder + QStringLiteral("/full"));
  if (::mknod(node.constData(), S_IFCHR | 0666, makedev(1, 7)) == 0) {
    const int probe = ::open(node.constData(), O_WRONLY);
    if (probe >= 0) {
      ::close(probe);
      return QFile::decodeName(node);
    }
  }
  return ::access("/dev", W_OK) != 0 && ::access("/dev/full", W_OK) == 0 ? QStringLiteral("/dev/full")
                                                                         : QString();
}

#endif  // !defined(Q_OS_WIN)
