// serial_port.h: receipt printers on a serial line (RS-232, a USB serial
// adapter, an on-board UART, a Bluetooth rfcomm port), apart from PAPPL.
//
// A printer is named by a device URI
//   serial:/dev/ttyUSB0?baud=38400&flow=rtscts
// with `baud` 1200 to 921600 (38400 when left out, a common setting of
// current receipt printers) and `flow` none, xonxoff or rtscts (rtscts when
// left out). The line is always 8 data bits, no parity, one stop bit.
//
// The port is opened raw, with no output or input processing (a Linux
// terminal starts with LF sent as CR LF, which breaks raster data), for
// this server alone (TIOCEXCL and an exclusive lock), and set again at every
// open: a USB adapter forgets its settings when it is plugged in again.
#ifndef LORVEX_PRINTER_APP_SERIAL_PORT_H
#define LORVEX_PRINTER_APP_SERIAL_PORT_H

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

namespace receipt {

enum class SerialFlow { kNone, kXonXoff, kRtsCts };

constexpr unsigned kDefaultBaud = 38400;
constexpr SerialFlow kDefaultFlow = SerialFlow::kRtsCts;

struct SerialSettings {
  std::string path;  // the port, as named ("/dev/ttyUSB0")
  unsigned baud = kDefaultBaud;
  SerialFlow flow = kDefaultFlow;
};

// The speeds a port takes, slowest first.
const std::vector<unsigned>& SerialSpeeds();
const char* SerialFlowName(SerialFlow flow);

// Reads a serial: URI. False, with `why` (one sentence for a person), when
// it is not one or asks for a speed, flow control or option that does not
// exist.
bool ParseSerialUri(const std::string& uri, SerialSettings* settings, std::string* why);
// The URI of a port with its settings.
std::string SerialUri(const SerialSettings& settings);

// The form of `path` with links and ".." followed, or empty with errno set.
std::string ResolvedPath(const std::string& path);

// True for the character devices of serial ports: ttyS (not the consoles),
// ttyACM, ttyUSB, ttyAMA and the other on-board UARTs, rfcomm.
bool SerialCharDevice(dev_t device);

// Empty when this process may print to the port; otherwise why not, one
// sentence a shop owner can act on: the port does not exist, is not a
// serial port, or belongs to a group the server's user is not in. A
// pseudo-terminal passes only when it belongs to the user the server runs
// as (the tests' stand-in for a port; nobody's terminal is written to).
std::string RefuseSerialPort(const std::string& path);

// Opens and sets up the port: raw 8N1 at the speed, with the flow control,
// exclusive. The descriptor, or -1 with `why`.
int OpenSerialPort(const SerialSettings& settings, std::string* why);
void CloseSerialPort(int fd);

// Writes all of `size` bytes as the line takes them; returns how many went
// out: fewer when the port failed, or when the printer held the line for
// `stallSeconds` without taking a byte. -1 when nothing could be written.
long WriteSerial(int fd, const void* data, size_t size, int stallSeconds);
// Bytes that came within `timeoutMs` (0 when none, -1 on an error).
long ReadSerial(int fd, void* buffer, size_t size, int timeoutMs);

// The serial ports found under `devDir` (ttyS*, ttyUSB*, ttyACM*, ttyAMA*,
// rfcomm*), as `sysClassTty` tells which on-board ports have hardware
// behind them. A port with a stable name under serial/by-id is given by it.
struct SerialPortInfo {
  std::string path;   // what the URI names
  std::string label;  // "USB serial adapter ttyUSB0", "Bluetooth rfcomm0", ...
};
std::vector<SerialPortInfo> ListSerialPorts(const std::string& devDir = "/dev",
                                            const std::string& sysClassTty = "/sys/class/tty");

}  // namespace receipt

#endif  // LORVEX_PRINTER_APP_SERIAL_PORT_H
