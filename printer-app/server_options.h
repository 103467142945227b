// server_options.h: the server's own options (-o name=value on the command
// line), read and checked before PAPPL is set up: a value that does not
// parse is refused with a sentence naming the option, never taken as
// something else.
#ifndef LORVEX_PRINTER_APP_SERVER_OPTIONS_H
#define LORVEX_PRINTER_APP_SERVER_OPTIONS_H

#include <functional>
#include <string>

struct ServerOptions {
  enum class LogLevel { kDebug, kInfo, kWarn, kError, kFatal };
  int port = 8000;              // server-port, 1 to 65535
  LogLevel logLevel = LogLevel::kInfo;  // log-level: debug, info, warn, error, fatal
  std::string logFile = "-";    // log-file, "-" the standard error
  std::string spoolDirectory;   // spool-directory: state and test pages
  std::string listen;           // listen-hostname, "" loopback only
  std::string fileDeviceDir;    // file-device-dir, "" no file: devices
  std::string passwordFile;     // admin-password-file
  // max-connections-per-client: connections one address may hold at once,
  // 1 to 10000.
  int maxConnectionsPerClient = 32;
  // server-options: a comma-separated list; "raw-socket" takes raw jobs on
  // TCP port 9099 + each printer's id (9100 for the first), "none" nothing.
  bool rawSocket = false;
};

// Reads the options that `option(name)` gives (null when absent). False,
// with `why` naming the option and what it takes, for a bad value.
bool ParseServerOptions(const std::function<const char*(const char*)>& option, ServerOptions* out, std::string* why);

// True when `listen` names only this machine's loopback addresses (empty:
// the default, loopback).
bool LoopbackOnly(const std::string& listen);

// The access password on the first line of `path` (a CR before the line end
// dropped). False, with `why`, when it cannot be read or is shorter than 8
// characters.
bool ReadAccessPassword(const std::string& path, std::string* password, std::string* why);

// Why a server listening beyond loopback without an access password does
// not start, and what to set.
std::string NeedsPasswordMessage(const std::string& listen, int port);

#endif  // LORVEX_PRINTER_APP_SERVER_OPTIONS_H
