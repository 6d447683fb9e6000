#include "ProcStats.h"

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace halvorn::process {
namespace {

std::string ProcPath(pid_t pid, const char* file) {
  return "/proc/" + (pid == 0 ? std::string("self") : std::to_string(pid)) + "/" + file;
}

std::optional<long> StatusField(pid_t pid, const std::string& field) {
  std::ifstream status(ProcPath(pid, "status"));
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) != 0) continue;
    std::istringstream value(line.substr(field.size() + 1));
    long kib = 0;
    if (value >> kib) return kib;
  }
  return {};
}

}  // namespace

std::optional<double> CpuSeconds(pid_t pid) {
  std::ifstream stat(ProcPath(pid, "stat"));
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  // The command name in parentheses may hold blanks; the fields after it
  // start with the state (field 3); utime and stime are fields 14 and 15.
  const auto close = text.rfind(')');
  if (close == std::string::npos) return {};
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  long long ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::stoll(field);
  }
  return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::optional<long> PeakResidentKiB(pid_t pid) { return StatusField(pid, "VmHWM"); }
std::optional<long> ResidentKiB(pid_t pid) { return StatusField(pid, "VmRSS"); }
std::optional<long> WakeUps(pid_t pid) { return StatusField(pid, "voluntary_ctxt_switches"); }

std::optional<int> OpenDescriptors(pid_t pid) {
  std::error_code error;
  std::filesystem::directory_iterator entries(ProcPath(pid, "fd"), error);
  if (error) return {};
  int count = 0;
  for (auto it = entries; it != std::filesystem::directory_iterator(); it.increment(error)) {
    if (error) return {};
    ++count;
  }
  return count;
}

double MachineBusySeconds() {
  std::ifstream stat("/proc/stat");
  std::string cpu;
  long long user = 0, nice = 0, system = 0, idle = 0, iowait = 0, irq = 0, softirq = 0, steal = 0;
  stat >> cpu >> user >> nice >> system >> idle >> iowait >> irq >> softirq >> steal;
  return static_cast<double>(user + nice + system + irq + softirq + steal) /
         static_cast<double>(::sysconf(_SC_CLK_TCK));
}

std::string LoadAverage() {
  std::ifstream load("/proc/loadavg");
  std::string one, five, fifteen;
  load >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

}  // namespace halvorn::process
