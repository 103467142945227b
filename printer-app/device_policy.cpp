// device_policy.cpp: the device URI check. The URI is taken apart by the
// same CUPS call, into buffers of the same sizes, as PAPPL's file device
// does when it opens it, so both see the same path.
#include "device_policy.h"

#include <cups/cups.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "serial_port.h"

namespace {

bool Inside(const std::string& path, const std::string& dir) {
  return path == dir || (path.size() > dir.size() && path.compare(0, dir.size(), dir) == 0 &&
                         (dir == "/" || path[dir.size()] == '/'));
}

// Character devices a receipt printer is written to as a file.
bool PrinterCharDevice(dev_t device) {
  const unsigned major_ = major(device), minor_ = minor(device);
  switch (major_) {
    case 1: return minor_ == 3;        // /dev/null; never mem, port or kmsg
    case 6: return true;               // lp parallel ports
    case 180: return minor_ < 16;      // usb/lp USB printer class
    default: return false;
  }
}

std::string FileDevice(const std::string& path, bool folderWanted, const std::string& fileDeviceDir) {
  const std::string allowedDir = fileDeviceDir.empty() ? std::string() : receipt::ResolvedPath(fileDeviceDir);
  const std::string noFiles = "this server prints to files only inside the folder named by "
                              "-o file-device-dir=DIR" +
                              (fileDeviceDir.empty() ? std::string(", and none is set")
                                                     : ", here " + fileDeviceDir);
  if (!fileDeviceDir.empty() && allowedDir.empty())
    return "The file device folder " + fileDeviceDir + " cannot be used: " + std::strerror(errno) + ".";

  std::string target = receipt::ResolvedPath(path);
  if (target.empty()) {
    if (errno != ENOENT || folderWanted)
      return "The device " + path + " cannot be used: " + std::strerror(errno) + ".";
    // A file to be made: its folder must exist, and the name may not climb.
    const size_t slash = path.find_last_of('/');
    const std::string name = path.substr(slash + 1);
    if (name.empty() || name == "." || name == "..")
      return "The device " + path + " does not name a file.";
    // A dangling link would be followed when the file is made.
    struct stat link;
    if (lstat(path.c_str(), &link) == 0)
      return "The device " + path + " is a link to nowhere, and links are not followed into new files.";
    const std::string parent = receipt::ResolvedPath(slash == 0 ? "/" : path.substr(0, slash));
    if (parent.empty()) return "The device " + path + " cannot be used: " + std::strerror(errno) + ".";
    target = parent == "/" ? "/" + name : parent + "/" + name;
    if (allowedDir.empty() || !Inside(target, allowedDir))
      return "The device " + path + " is refused: " + noFiles + ".";
    return "";
  }

  struct stat info;
  if (stat(target.c_str(), &info) != 0)
    return "The device " + path + " cannot be used: " + std::strerror(errno) + ".";
  if (S_ISCHR(info.st_mode)) {
    if (PrinterCharDevice(info.st_rdev)) return "";
    // A terminal written as a file keeps its speed and turns every LF into
    // CR LF: raster data would come out as garbage.
    if (receipt::SerialCharDevice(info.st_rdev))
      return "The device " + path + " is a serial port: add it as serial:" + path +
             "?baud=38400 (with the printer's speed, and &flow=none, xonxoff or rtscts) so that its line is set up.";
    return "The device " + path + " (" + target +
           ") is a character device that is not a printer or serial port.";
  }
  if (S_ISREG(info.st_mode) || S_ISDIR(info.st_mode)) {
    if (folderWanted && !S_ISDIR(info.st_mode))
      return "The device " + path + " is not a folder, and only folders take \"?ext=\".";
    if (allowedDir.empty() || !Inside(target, allowedDir))
      return "The device " + path + (target != path ? " (" + target + ")" : std::string()) +
             " is refused: " + noFiles + ".";
    return "";
  }
  return "The device " + path + " is neither a printer, a regular file nor a folder.";
}

// The URI's scheme and resource, taken apart as PAPPL's file device does.
bool SeparateUri(const std::string& uri, std::string* scheme, std::string* resource) {
  char s[32], userpass[32], host[256], r[256];
  int port = 0;
  if (httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), s, sizeof s, userpass, sizeof userpass, host, sizeof host,
                      &port, r, sizeof r) < HTTP_URI_STATUS_OK)
    return false;
  *scheme = s;
  *resource = r;
  return true;
}

}  // namespace

bool SerialPortAsFile(const std::string& uri) {
  std::string scheme, resource;
  if (!SeparateUri(uri, &scheme, &resource) || scheme != "file") return false;
  const std::string target = receipt::ResolvedPath(resource.substr(0, resource.find('?')));
  struct stat info;
  return !target.empty() && stat(target.c_str(), &info) == 0 && S_ISCHR(info.st_mode) &&
         receipt::SerialCharDevice(info.st_rdev);
}

std::string RefuseDevice(const std::string& uri, const std::string& fileDeviceDir) {
  if (uri.compare(0, 7, "serial:") == 0) {
    receipt::SerialSettings settings;
    std::string why;
    if (!receipt::ParseSerialUri(uri, &settings, &why)) return why;
    return receipt::RefuseSerialPort(settings.path);
  }
  std::string s, resource;
  if (!SeparateUri(uri, &s, &resource)) return "The device URI \"" + uri + "\" is not a valid URI.";
  if (s == "usb" || s == "socket" || s == "dnssd" || s == "snmp") return "";
  if (s != "file")
    return "This server cannot print to \"" + uri +
           "\": it prints to usb:, socket:, dnssd:, snmp:, serial: and file: devices (\"lorvex-printer-app "
           "devices\" lists the printers it finds).";
  std::string path = resource;
  const size_t query = path.find('?');
  const bool folderWanted = query != std::string::npos && path.compare(query + 1, 4, "ext=") == 0;
  if (query != std::string::npos) path.resize(query);
  if (path.empty() || path[0] != '/') return "The device URI \"" + uri + "\" names no absolute path.";
  return FileDevice(path, folderWanted, fileDeviceDir);
}
