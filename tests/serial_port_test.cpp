// Serial receipt printers: the URI, the port check with its sentences, the
// raw line over a pseudo-terminal, and the port list.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "device_policy.h"
#include "serial_port.h"

namespace {

using receipt::SerialFlow;
using receipt::SerialSettings;

struct UriCase {
  const char* uri;
  const char* path;
  unsigned baud;
  SerialFlow flow;
};

class SerialUri : public ::testing::TestWithParam<UriCase> {};

TEST_P(SerialUri, ReadsPortSpeedAndFlow) {
  const UriCase& c = GetParam();
  SerialSettings s;
  std::string why;
  ASSERT_TRUE(receipt::ParseSerialUri(c.uri, &s, &why)) << why;
  EXPECT_EQ(s.path, c.path);
  EXPECT_EQ(s.baud, c.baud);
  EXPECT_EQ(s.flow, c.flow);
  SerialSettings again;
  ASSERT_TRUE(receipt::ParseSerialUri(receipt::SerialUri(s), &again, &why)) << why;
  EXPECT_EQ(again.path, s.path);
  EXPECT_EQ(again.baud, s.baud);
  EXPECT_EQ(again.flow, s.flow);
}

INSTANTIATE_TEST_SUITE_P(
    Uris, SerialUri,
    ::testing::Values(UriCase{"serial:/dev/ttyUSB0", "/dev/ttyUSB0", 38400, SerialFlow::kRtsCts},
                      UriCase{"serial:/dev/ttyUSB0?baud=9600", "/dev/ttyUSB0", 9600, SerialFlow::kRtsCts},
                      UriCase{"serial:/dev/ttyS0?baud=115200&flow=xonxoff", "/dev/ttyS0", 115200, SerialFlow::kXonXoff},
                      UriCase{"serial:///dev/rfcomm0?flow=none&baud=1200", "/dev/rfcomm0", 1200, SerialFlow::kNone},
                      UriCase{"serial:/dev/ttyAMA0?baud=921600", "/dev/ttyAMA0", 921600, SerialFlow::kRtsCts}));

TEST(SerialUri, RefusalsSayWhatToWrite) {
  const std::pair<const char*, const char*> cases[] = {
      {"serial:", "names no port"},
      {"serial:ttyUSB0", "names no port"},
      {"serial:/dev/ttyUSB0?baud=12345", "use baud=1200, 2400"},
      {"serial:/dev/ttyUSB0?baud=9600x", "\"9600x\" is not one a serial port takes"},
      {"serial:/dev/ttyUSB0?baud=", "is not one a serial port takes"},
      {"serial:/dev/ttyUSB0?baud=99999999999999999999", "is not one a serial port takes"},
      {"serial:/dev/ttyUSB0?flow=hardware", "use flow=none, flow=xonxoff or flow=rtscts"},
      {"serial:/dev/ttyUSB0?parity=even", "\"parity=even\" is not known"},
      {"serial:/dev/ttyUSB0?baud=9600&baud=4800", "gives baud= twice"},
  };
  for (const auto& c : cases) {
    SerialSettings s;
    std::string why;
    EXPECT_FALSE(receipt::ParseSerialUri(c.first, &s, &why)) << c.first;
    EXPECT_NE(why.find(c.second), std::string::npos) << c.first << ": " << why;
    EXPECT_EQ(why.back(), '.') << why;
    // The device check gives the same sentence.
    EXPECT_EQ(RefuseDevice(c.first, ""), why);
  }
}

TEST(DeviceRefusals, EachSaysWhatToDo) {
  EXPECT_NE(RefuseDevice("serial:/dev/ttyUSB97", "").find("There is no serial port /dev/ttyUSB97: plug in"),
            std::string::npos);
  EXPECT_NE(RefuseDevice("serial:/dev/null", "").find("is not a serial port"), std::string::npos);
  const std::string lpd = RefuseDevice("lpd://host/queue", "");
  EXPECT_NE(lpd.find("cannot print to \"lpd://host/queue\": it prints to usb:, socket:"), std::string::npos) << lpd;
  struct stat info;
  if (stat("/dev/ttyS0", &info) == 0 && S_ISCHR(info.st_mode)) {
    const std::string why = RefuseDevice("file:///dev/ttyS0", "");
    EXPECT_NE(why.find("is a serial port: add it as serial:/dev/ttyS0?baud=38400"), std::string::npos) << why;
    EXPECT_TRUE(SerialPortAsFile("file:///dev/ttyS0"));
  }
  for (const char* uri : {"file:///dev/null", "serial:/dev/ttyS0", "file:///nowhere", "socket://192.0.2.1"})
    EXPECT_FALSE(SerialPortAsFile(uri)) << uri;
}

// A pseudo-terminal stands in for the port: its other side is the printer.
class PseudoPort : public ::testing::Test {
 protected:
  void SetUp() override {
    master_ = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master_, 0);
    ASSERT_EQ(grantpt(master_), 0);
    ASSERT_EQ(unlockpt(master_), 0);
    path_ = ptsname(master_);
  }
  void TearDown() override {
    if (master_ >= 0) close(master_);
  }
  std::vector<uint8_t> Drain(size_t want) {
    std::vector<uint8_t> got;
    uint8_t buffer[4096];
    while (got.size() < want) {
      pollfd p{master_, POLLIN, 0};
      if (poll(&p, 1, 2000) != 1) break;
      const ssize_t n = read(master_, buffer, sizeof buffer);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }
  int master_ = -1;
  std::string path_;
};

TEST_F(PseudoPort, AJobsBytesGoOutWholeAndUnchanged) {
  for (const SerialFlow flow : {SerialFlow::kRtsCts, SerialFlow::kXonXoff, SerialFlow::kNone}) {
    SerialSettings s;
    s.path = path_;
    s.baud = flow == SerialFlow::kRtsCts ? 9600 : 115200;
    s.flow = flow;
    std::string why;
    const int fd = receipt::OpenSerialPort(s, &why);
    ASSERT_GE(fd, 0) << why;
    termios tio;
    ASSERT_EQ(tcgetattr(fd, &tio), 0);
    EXPECT_EQ(tio.c_oflag & OPOST, 0u);
    EXPECT_EQ(tio.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
    EXPECT_EQ(tio.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP), 0u);
    EXPECT_EQ(tio.c_cflag & (CSIZE | PARENB | CSTOPB), tcflag_t{CS8});
    EXPECT_EQ(cfgetospeed(&tio), flow == SerialFlow::kRtsCts ? speed_t{B9600} : speed_t{B115200});
    EXPECT_EQ((tio.c_cflag & CRTSCTS) != 0, flow == SerialFlow::kRtsCts);
    EXPECT_EQ((tio.c_iflag & IXON) != 0, flow == SerialFlow::kXonXoff);
    // Every byte value, LF and CR among them, and a raster record's worth.
    std::vector<uint8_t> job(70000);
    for (size_t i = 0; i < job.size(); ++i) job[i] = static_cast<uint8_t>(i * 7 + i / 256);
    const uint8_t lf[] = {0x0A, 0x0D, 0x0A, 0x00};
    job.insert(job.begin(), lf, lf + 4);
    std::vector<uint8_t> got;
    std::thread printer([&] { got = Drain(job.size()); });
    EXPECT_EQ(receipt::WriteSerial(fd, job.data(), job.size(), 10), static_cast<long>(job.size()));
    printer.join();
    EXPECT_TRUE(got == job) << "the printer got " << got.size() << " bytes, changed, of " << job.size();
    // The printer's answers come back on the line.
    const uint8_t answers[] = {0x12, 0x12, 0x12, 0x72};
    ASSERT_EQ(write(master_, answers, sizeof answers), 4);
    uint8_t back[8] = {};
    long n = 0;
    while (n < 4) {
      const long r = receipt::ReadSerial(fd, back + n, sizeof back - n, 2000);
      ASSERT_GT(r, 0);
      n += r;
    }
    EXPECT_EQ(std::vector<uint8_t>(back, back + 4), std::vector<uint8_t>(answers, answers + 4));
    EXPECT_EQ(receipt::ReadSerial(fd, back, sizeof back, 50), 0);  // nothing more: no wait for ever
    // While the server holds the port, nobody else's open takes it.
    const int other = receipt::OpenSerialPort(s, &why);
    EXPECT_LT(other, 0);
    EXPECT_NE(why.find("in use by another program"), std::string::npos) << why;
    receipt::CloseSerialPort(fd);
  }
}

TEST_F(PseudoPort, SetAgainAtEveryOpen) {
  // Someone (an adapter plugged in again) left the line cooked at 9600.
  const int other = open(path_.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(other, 0);
  termios tio;
  ASSERT_EQ(tcgetattr(other, &tio), 0);
  tio.c_oflag |= OPOST | ONLCR;
  cfsetospeed(&tio, B9600);
  ASSERT_EQ(tcsetattr(other, TCSANOW, &tio), 0);
  close(other);
  SerialSettings s;
  s.path = path_;
  std::string why;
  const int fd = receipt::OpenSerialPort(s, &why);
  ASSERT_GE(fd, 0) << why;
  ASSERT_EQ(tcgetattr(fd, &tio), 0);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(cfgetospeed(&tio), speed_t{B38400});
  EXPECT_NE(tio.c_cflag & CRTSCTS, 0u);
  receipt::CloseSerialPort(fd);
  EXPECT_EQ(RefuseDevice("serial:" + path_, ""), "");
  EXPECT_NE(RefuseDevice("file://" + path_, "").find("not a printer or serial port"), std::string::npos);
}

// Only a terminal of the server's own user is taken, and a port the user
// may not open names the group to join. Needs root to make both.
TEST_F(PseudoPort, OthersTerminalsAndClosedPortsAreRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a terminal and a port away";
  char dir[] = "/tmp/lorvex-serial.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  ASSERT_EQ(chmod(dir, 0755), 0);
  const std::string port = std::string(dir) + "/ttyUSB0";
  ASSERT_EQ(mknod(port.c_str(), S_IFCHR | 0660, makedev(188, 0)), 0);
  ASSERT_EQ(chown(port.c_str(), 0, 20), 0);  // root:dialout, as udev makes them
  ASSERT_EQ(chown(path_.c_str(), 65534, 65534), 0);
  const pid_t child = fork();
  if (child == 0) {
    // As nobody: the pty is nobody's own, the port is not theirs.
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(3);
    const std::string ok = RefuseDevice("serial:" + path_, "");
    const std::string closed = RefuseDevice("serial:" + port, "");
    _exit(ok.empty() && closed.find("may not open " + port + ": the port belongs to the group") != std::string::npos &&
                  closed.find("sudo usermod -aG") != std::string::npos
              ? 0
              : 1);
  }
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "as nobody: " << status;
  // As root: nobody's terminal is not written to.
  const std::string why = RefuseDevice("serial:" + path_, "");
  EXPECT_NE(why.find("belongs to nobody, not to this server's user"), std::string::npos) << why;
  unlink(port.c_str());
  rmdir(dir);
}

TEST(SerialPorts, ListedByKindWithStableNames) {
  char dir[] = "/tmp/lorvex-ports.XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string dev = std::string(dir) + "/dev", sys = std::string(dir) + "/sys";
  ASSERT_EQ(std::system(("mkdir -p " + dev + "/serial/by-id " + sys + "/ttyS0/device " + sys + "/ttyS1/device").c_str()), 0);
  for (const char* name : {"ttyUSB0", "ttyUSB1", "ttyACM0", "ttyS0", "ttyS1", "ttyS2", "ttyAMA0", "rfcomm0", "tty1",
                           "ttyUSBx", "console"})
    std::ofstream(dev + "/" + name).put('\n');
  std::ofstream(sys + "/ttyS0/type") << "4\n";  // a 16550A
  std::ofstream(sys + "/ttyS1/type") << "0\n";  // no UART there
  ASSERT_EQ(symlink("../../ttyUSB1", (dev + "/serial/by-id/usb-Prolific_PL2303-if00-port0").c_str()), 0);
  std::vector<std::string> got;
  for (const auto& port : receipt::ListSerialPorts(dev, sys)) got.push_back(port.label + " = " + port.path);
  const std::vector<std::string> want = {
      "Bluetooth serial port rfcomm0 = " + dev + "/rfcomm0",
      "On-board serial port ttyAMA0 = " + dev + "/ttyAMA0",
      "Serial port ttyS0 = " + dev + "/ttyS0",
      "USB serial adapter ttyUSB0 = " + dev + "/ttyUSB0",
      "USB serial adapter ttyUSB1 = " + dev + "/serial/by-id/usb-Prolific_PL2303-if00-port0",
      "USB serial printer ttyACM0 = " + dev + "/ttyACM0",
  };
  EXPECT_EQ(got, want);
  std::system((std::string("rm -rf ") + dir).c_str());
}

}  // namespace
