// serial_port.cpp: serial: URIs, the port check, and the raw line.
#include "serial_port.h"

#include <dirent.h>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>

namespace receipt {

namespace {

struct Speed {
  unsigned baud;
  speed_t code;
};

constexpr Speed kSpeeds[] = {
    {1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400},   {57600, B57600},   {115200, B115200}, {230400, B230400}, {460800, B460800},
    {500000, B500000}, {576000, B576000}, {921600, B921600},
};

std::string SpeedList() {
  std::string list;
  const auto& speeds = SerialSpeeds();
  for (size_t i = 0; i < speeds.size(); ++i) {
    if (i > 0) list += i + 1 == speeds.size() ? " or " : ", ";
    list += std::to_string(speeds[i]);
  }
  return list;
}

bool PseudoTerminal(dev_t device) { return major(device) >= 136 && major(device) <= 143; }

std::string UserName(uid_t uid) {
  if (const passwd* pw = getpwuid(uid)) return pw->pw_name;
  return std::to_string(uid);
}

std::string GroupName(gid_t gid) {
  if (const group* gr = getgrgid(gid)) return gr->gr_name;
  return std::to_string(gid);
}

std::string ReadLine(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  std::getline(in, line);
  return line;
}

}  // namespace

std::string ResolvedPath(const std::string& path) {
  char buffer[PATH_MAX];
  return realpath(path.c_str(), buffer) ? std::string(buffer) : std::string();
}

const std::vector<unsigned>& SerialSpeeds() {
  static const std::vector<unsigned> speeds = [] {
    std::vector<unsigned> v;
    for (const Speed& s : kSpeeds) v.push_back(s.baud);
    return v;
  }();
  return speeds;
}

const char* SerialFlowName(SerialFlow flow) {
  switch (flow) {
    case SerialFlow::kNone: return "none";
    case SerialFlow::kXonXoff: return "xonxoff";
    case SerialFlow::kRtsCts: return "rtscts";
  }
  return "rtscts";
}

bool ParseSerialUri(const std::string& uri, SerialSettings* settings, std::string* why) {
  constexpr const char kScheme[] = "serial:";
  *settings = SerialSettings();
  if (uri.compare(0, sizeof kScheme - 1, kScheme) != 0) {
    *why = "\"" + uri + "\" is not a serial: device.";
    return false;
  }
  std::string rest = uri.substr(sizeof kScheme - 1);
  const size_t query = rest.find('?');
  settings->path = rest.substr(0, query);
  // serial:///dev/ttyS0 too: one slash is the same folder as several.
  const size_t slashes = settings->path.find_first_not_of('/');
  if (slashes > 1 && slashes != std::string::npos) settings->path.erase(0, slashes - 1);
  if (settings->path.empty() || settings->path[0] != '/' || settings->path.find_first_of(" \t\r\n") != std::string::npos) {
    *why = "The serial device \"" + uri + "\" names no port: write it as serial:/dev/ttyUSB0?baud=38400.";
    return false;
  }
  if (query == std::string::npos) return true;
  bool sawBaud = false, sawFlow = false;
  size_t at = query + 1;
  while (at <= rest.size()) {
    const size_t amp = std::min(rest.find('&', at), rest.size());
    const std::string item = rest.substr(at, amp - at);
    at = amp + 1;
    const size_t eq = item.find('=');
    const std::string key = item.substr(0, eq), value = eq == std::string::npos ? "" : item.substr(eq + 1);
    if (key == "baud" && !sawBaud) {
      sawBaud = true;
      const bool digits = !value.empty() && value.size() <= 7 &&
                          std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; });
      const unsigned baud = digits ? static_cast<unsigned>(std::strtoul(value.c_str(), nullptr, 10)) : 0;
      const auto& speeds = SerialSpeeds();
      if (std::find(speeds.begin(), speeds.end(), baud) == speeds.end()) {
        *why = "The speed \"" + value + "\" is not one a serial port takes: use baud=" + SpeedList() + ".";
        return false;
      }
      settings->baud = baud;
    } else if (key == "flow" && !sawFlow) {
      sawFlow = true;
      if (value == "none") {
        settings->flow = SerialFlow::kNone;
      } else if (value == "xonxoff") {
        settings->flow = SerialFlow::kXonXoff;
      } else if (value == "rtscts") {
        settings->flow = SerialFlow::kRtsCts;
      } else {
        *why = "The flow control \"" + value + "\" is not known: use flow=none, flow=xonxoff or flow=rtscts.";
        return false;
      }
    } else if (key == "baud" || key == "flow") {
      *why = "The serial device \"" + uri + "\" gives " + key + "= twice.";
      return false;
    } else {
      *why = "The serial device option \"" + item +
             "\" is not known: a serial device takes baud=SPEED and flow=none, xonxoff or rtscts (always 8 data "
             "bits, no parity, one stop bit).";
      return false;
    }
  }
  return true;
}

std::string SerialUri(const SerialSettings& settings) {
  return "serial:" + settings.path + "?baud=" + std::to_string(settings.baud) + "&flow=" +
         SerialFlowName(settings.flow);
}

bool SerialCharDevice(dev_t device) {
  const unsigned major_ = major(device), minor_ = minor(device);
  switch (major_) {
    case 4: return minor_ >= 64;  // ttyS, not the virtual consoles
    case 166: return true;        // ttyACM
    case 188: return true;        // ttyUSB
    case 204: return true;        // ttyAMA and other on-board UARTs
    case 216: return true;        // rfcomm
    default: return false;
  }
}

std::string RefuseSerialPort(const std::string& path) {
  const std::string target = ResolvedPath(path);
  struct stat info;
  if (target.empty() || stat(target.c_str(), &info) != 0) {
    if (errno == ENOENT)
      return "There is no serial port " + path +
             ": plug in the printer's cable or USB adapter (or bind its rfcomm port), or choose a port that "
             "\"lorvex-printer-app devices\" lists.";
    return "The serial port " + path + " cannot be used: " + std::strerror(errno) + ".";
  }
  const bool pty = S_ISCHR(info.st_mode) && PseudoTerminal(info.st_rdev);
  if (!S_ISCHR(info.st_mode) || (!pty && !SerialCharDevice(info.st_rdev)))
    return "The device " + path + (target != path ? " (" + target + ")" : std::string()) +
           " is not a serial port: choose one of the ports \"lorvex-printer-app devices\" lists.";
  if (pty && info.st_uid != geteuid())
    return "The terminal " + path + " belongs to " + UserName(info.st_uid) +
           ", not to this server's user: it is not a printer's port and is not written to.";
  if (faccessat(AT_FDCWD, target.c_str(), R_OK | W_OK, AT_EACCESS) != 0) {
    if (errno == EACCES) {
      const std::string user = UserName(geteuid()), group = GroupName(info.st_gid);
      return "The server's user " + user + " may not open " + path + ": the port belongs to the group \"" + group +
             "\"; add the user to it (sudo usermod -aG " + group + " " + user + ") and restart the server.";
    }
    return "The serial port " + path + " cannot be used: " + std::strerror(errno) + ".";
  }
  return "";
}

int OpenSerialPort(const SerialSettings& settings, std::string* why) {
  const std::string refusal = RefuseSerialPort(settings.path);
  if (!refusal.empty()) {
    *why = refusal;
    return -1;
  }
  // Non-blocking while it is set up: without a carrier an open would wait.
  const int fd = open(settings.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *why = errno == EBUSY ? "The serial port " + settings.path + " is in use by another program."
                          : "The serial port " + settings.path + " cannot be opened: " + std::strerror(errno) + ".";
    return -1;
  }
  auto fail = [&](const std::string& message) {
    close(fd);
    *why = message;
    return -1;
  };
  if (!isatty(fd)) return fail("The device " + settings.path + " is not a serial port.");
  // Ours alone while the server has it: other programs' opens fail, and
  // another server that locks the port too sees it taken.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0)
    return fail("The serial port " + settings.path + " is in use by another program.");
  if (ioctl(fd, TIOCEXCL) != 0)
    return fail("The serial port " + settings.path + " cannot be held: " + std::strerror(errno) + ".");

  termios tio;
  if (tcgetattr(fd, &tio) != 0)
    return fail("The serial port " + settings.path + " cannot be set up: " + std::strerror(errno) + ".");
  cfmakeraw(&tio);  // no CR for LF, no echo, no signals: every byte as it is
  tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS | HUPCL);
  tio.c_cflag |= CS8 | CREAD | CLOCAL;
  tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  if (settings.flow == SerialFlow::kRtsCts) tio.c_cflag |= CRTSCTS;
  if (settings.flow == SerialFlow::kXonXoff) tio.c_iflag |= IXON | IXOFF;
  tio.c_cc[VMIN] = 0;
  tio.c_cc[VTIME] = 0;
  speed_t code = B38400;
  for (const Speed& s : kSpeeds)
    if (s.baud == settings.baud) code = s.code;
  if (cfsetispeed(&tio, code) != 0 || cfsetospeed(&tio, code) != 0 || tcsetattr(fd, TCSANOW, &tio) != 0)
    return fail("The serial port " + settings.path + " does not take " + std::to_string(settings.baud) +
                " baud: " + std::strerror(errno) + ".");
  // What the printer said before this job is not an answer to it.
  tcflush(fd, TCIFLUSH);
  return fd;
}

void CloseSerialPort(int fd) {
  if (fd < 0) return;
  // The exclusive mode stays with the port while anyone else holds it open
  // (a terminal's other side does): give it back.
  ioctl(fd, TIOCNXCL);
  close(fd);
}

long WriteSerial(int fd, const void* data, size_t size, int stallSeconds) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  size_t sent = 0;
  auto lastProgress = std::chrono::steady_clock::now();
  while (sent < size) {
    const ssize_t n = write(fd, bytes + sent, size - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      lastProgress = std::chrono::steady_clock::now();
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EINTR) break;
    // The line is full, or the printer holds it (CTS low, XOFF).
    if (std::chrono::steady_clock::now() - lastProgress > std::chrono::seconds(stallSeconds)) break;
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 200) < 0 && errno != EINTR) break;
  }
  if (sent == 0 && size > 0) return -1;
  return static_cast<long>(sent);
}

long ReadSerial(int fd, void* buffer, size_t size, int timeoutMs) {
  pollfd p{fd, POLLIN, 0};
  const int ready = poll(&p, 1, timeoutMs);
  if (ready < 0) return errno == EINTR ? 0 : -1;
  if (ready == 0) return 0;
  const ssize_t n = read(fd, buffer, size);
  if (n < 0) return errno == EAGAIN || errno == EINTR ? 0 : -1;
  return static_cast<long>(n);
}

std::vector<SerialPortInfo> ListSerialPorts(const std::string& devDir, const std::string& sysClassTty) {
  // Stable names: serial/by-id links to the ports they name.
  std::map<std::string, std::string> stable;
  const std::string byId = devDir + "/serial/by-id";
  if (DIR* dir = opendir(byId.c_str())) {
    while (const dirent* e = readdir(dir)) {
      if (e->d_name[0] == '.') continue;
      const std::string link = byId + "/" + e->d_name, target = ResolvedPath(link);
      if (!target.empty()) stable[target.substr(target.find_last_of('/') + 1)] = link;
    }
    closedir(dir);
  }
  struct Kind {
    const char* prefix;
    const char* label;
  };
  static constexpr Kind kKinds[] = {{"ttyUSB", "USB serial adapter"}, {"ttyACM", "USB serial printer"},
                                    {"ttyS", "Serial port"},          {"ttyAMA", "On-board serial port"},
                                    {"rfcomm", "Bluetooth serial port"}};
  std::vector<SerialPortInfo> ports;
  DIR* dir = opendir(devDir.c_str());
  if (dir == nullptr) return ports;
  while (const dirent* e = readdir(dir)) {
    const std::string name = e->d_name;
    for (const Kind& kind : kKinds) {
      const size_t n = strlen(kind.prefix);
      if (name.compare(0, n, kind.prefix) != 0 || name.size() == n ||
          !std::all_of(name.begin() + static_cast<long>(n), name.end(), [](char c) { return c >= '0' && c <= '9'; }))
        continue;
      // ttyS ports are made whether or not a UART is there: the kernel
      // says "0" (unknown) for the type of those without one.
      if (std::string(kind.prefix) == "ttyS") {
        const std::string type = ReadLine(sysClassTty + "/" + name + "/type");
        if (access((sysClassTty + "/" + name + "/device").c_str(), F_OK) != 0 || type.empty() || type == "0")
          continue;
      }
      const auto it = stable.find(name);
      ports.push_back({it != stable.end() ? it->second : devDir + "/" + name, std::string(kind.label) + " " + name});
    }
  }
  closedir(dir);
  std::sort(ports.begin(), ports.end(), [](const SerialPortInfo& a, const SerialPortInfo& b) { return a.label < b.label; });
  return ports;
}

}  // namespace receipt
