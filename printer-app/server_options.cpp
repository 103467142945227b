// server_options.cpp: the server options and the listen policy.
#include "server_options.h"

#include <sys/stat.h>

#include <fstream>

namespace {

bool Refuse(std::string* why, const std::string& text) {
  *why = text;
  return false;
}

// A whole number from `low` to `high`, digits only.
bool ReadWhole(const char* text, long low, long high, int* out) {
  long value = 0;
  const char* p = text;
  for (; *p >= '0' && *p <= '9' && value <= high; ++p) value = value * 10 + (*p - '0');
  if (p == text || *p != '\0' || value < low || value > high) return false;
  *out = static_cast<int>(value);
  return true;
}

}  // namespace

bool ParseServerOptions(const std::function<const char*(const char*)>& option, ServerOptions* out, std::string* why) {
  ServerOptions o;
  if (const char* port = option("server-port")) {
    if (!ReadWhole(port, 1, 65535, &o.port))
      return Refuse(why, std::string("server-port=") + port + " is not a port number (1 to 65535).");
  }
  if (const char* most = option("max-connections-per-client")) {
    if (!ReadWhole(most, 1, 10000, &o.maxConnectionsPerClient))
      return Refuse(why, std::string("max-connections-per-client=") + most + " is not a number from 1 to 10000.");
  }
  if (const char* level = option("log-level")) {
    const struct {
      const char* name;
      ServerOptions::LogLevel level;
    } levels[] = {{"debug", ServerOptions::LogLevel::kDebug}, {"info", ServerOptions::LogLevel::kInfo},
                  {"warn", ServerOptions::LogLevel::kWarn},   {"error", ServerOptions::LogLevel::kError},
                  {"fatal", ServerOptions::LogLevel::kFatal}};
    bool known = false;
    for (const auto& l : levels) {
      if (std::string(level) == l.name) {
        o.logLevel = l.level;
        known = true;
      }
    }
    if (!known) return Refuse(why, std::string("log-level=") + level + " is not one of debug, info, warn, error, fatal.");
  }
  if (const char* list = option("server-options")) {
    std::string rest = list;
    while (!rest.empty()) {
      const size_t comma = rest.find(',');
      const std::string one = rest.substr(0, comma);
      rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
      if (one == "raw-socket")
        o.rawSocket = true;
      else if (one != "none")
        return Refuse(why, std::string("server-options=") + list + ": '" + one + "' is not one of raw-socket, none.");
    }
  }
  if (const char* log = option("log-file")) o.logFile = log;
  if (const char* spool = option("spool-directory")) o.spoolDirectory = spool;
  if (const char* listen = option("listen-hostname")) o.listen = listen;
  if (const char* password = option("admin-password-file")) o.passwordFile = password;
  // The folder that file: devices may write in must be there, by an
  // absolute path, before any printer (saved ones too) is checked against it.
  if (const char* dir = option("file-device-dir")) {
    struct stat info;
    if (dir[0] != '/' || stat(dir, &info) != 0 || !S_ISDIR(info.st_mode))
      return Refuse(why, std::string("file-device-dir=") + dir + " is not an absolute path to a folder.");
    o.fileDeviceDir = dir;
  }
  *out = o;
  return true;
}

bool LoopbackOnly(const std::string& listen) {
  for (const char* name : {"", "localhost", "127.0.0.1", "::1", "[::1]"})
    if (listen == name) return true;
  return false;
}

bool ReadAccessPassword(const std::string& path, std::string* password, std::string* why) {
  std::ifstream in(path);
  std::string line;
  if (!in || !std::getline(in, line)) return Refuse(why, "cannot read the admin-password-file " + path);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.size() < 8) return Refuse(why, "the password in " + path + " is shorter than 8 characters");
  *password = line;
  return true;
}

std::string NeedsPasswordMessage(const std::string& listen, int port) {
  return "listening on " + listen +
         " needs an access password for administration: start with "
         "-o admin-password-file=FILE (the password on its first line, 8 characters or more), "
         "or start it on loopback once and set one on http://localhost:" +
         std::to_string(port) + "/security.";
}
