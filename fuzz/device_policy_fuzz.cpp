// Feeds the device policy any device URI a client may send, against a
// throwaway folder with links in and out of it: whatever it takes must be
// a printer scheme, a printer's character device, a serial port, or lie
// inside the folder once resolved; whatever it refuses must say why. A
// serial: URI it reads keeps to the speeds and flow controls that exist and
// reads back the same from the URI made of it. It only reads the file
// system.
#include <cups/cups.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <algorithm>

#include "device_policy.h"
#include "serial_port.h"

namespace {

char g_root[] = "/tmp/lorvex-policy-fuzz.XXXXXX";

void RemoveTree() { std::system((std::string("rm -rf '") + g_root + "'").c_str()); }

std::string MakeTree() {
  if (mkdtemp(g_root) == nullptr) abort();
  std::atexit(RemoveTree);
  const std::string root = g_root;
  mkdir((root + "/allowed").c_str(), 0700);
  mkdir((root + "/outside").c_str(), 0700);
  symlink((root + "/outside").c_str(), (root + "/allowed/out").c_str());
  symlink("/dev/null", (root + "/allowed/null").c_str());
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string root = MakeTree();
  static const std::string allowed = root + "/allowed";
  const std::string raw(reinterpret_cast<const char*>(data), size);
  // Half the inputs are file: URIs rooted in the tree, so that paths and
  // links are reached, not only the URI parser; a quarter serial: URIs.
  const int kind = size > 0 ? data[0] & 3 : 0;
  const std::string uri = kind & 1 ? "file://" + root + "/" + raw.substr(1)
                          : kind == 2 ? "serial:" + raw.substr(1)
                                      : raw;
  receipt::SerialSettings serial;
  std::string why;
  if (receipt::ParseSerialUri(uri, &serial, &why)) {
    const auto& speeds = receipt::SerialSpeeds();
    if (serial.path.empty() || serial.path[0] != '/' ||
        std::find(speeds.begin(), speeds.end(), serial.baud) == speeds.end())
      abort();
    receipt::SerialSettings again;
    if (!receipt::ParseSerialUri(receipt::SerialUri(serial), &again, &why) || again.path != serial.path ||
        again.baud != serial.baud || again.flow != serial.flow)
      abort();
  } else if (uri.compare(0, 7, "serial:") == 0 && (why.empty() || why.back() != '.')) {
    abort();
  }
  why = RefuseDevice(uri, allowed);
  if (!why.empty()) {
    if (why.back() != '.') abort();
    return 0;
  }
  if (uri.compare(0, 7, "serial:") == 0) {
    // Taken as a serial port: it resolves to a character device.
    char resolved[PATH_MAX];
    struct stat info;
    if (realpath(serial.path.c_str(), resolved) == nullptr || stat(resolved, &info) != 0 || !S_ISCHR(info.st_mode))
      abort();
    return 0;
  }
  if (uri.compare(0, 5, "file:") != 0) return 0;
  // Taken as a file: the resolved path is a character device or inside.
  char scheme[32], userpass[32], host[256], resource[256];
  int port = 0;
  httpSeparateURI(HTTP_URI_CODING_ALL, uri.c_str(), scheme, sizeof scheme, userpass, sizeof userpass, host,
                  sizeof host, &port, resource, sizeof resource);
  std::string path = resource;
  path = path.substr(0, path.find('?'));
  char resolved[PATH_MAX];
  if (realpath(path.c_str(), resolved) != nullptr) {
    struct stat info;
    const std::string r = resolved;
    if (stat(resolved, &info) == 0 && !S_ISCHR(info.st_mode) && r.compare(0, allowed.size(), allowed) != 0) abort();
  }
  return 0;
}
