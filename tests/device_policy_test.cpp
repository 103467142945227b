// The device policy against a throwaway tree: "etc" and "root" stand in
// for the system's folders, "allowed" is the file device folder, and links
// inside it point in and out. Nothing outside the tree is made or changed.
#include "device_policy.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

namespace {

class DevicePolicyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/lorvex-policy.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root_ = pattern;
    for (const char* dir : {"/etc", "/etc/cron.d", "/root", "/allowed", "/allowed/out"})
      ASSERT_EQ(mkdir((root_ + dir).c_str(), 0700), 0);
    std::ofstream(root_ + "/root/.bashrc") << "# the user's own\n";
    std::ofstream(root_ + "/allowed/receipt.bin");
    ASSERT_EQ(symlink((root_ + "/root/.bashrc").c_str(), (root_ + "/allowed/escape").c_str()), 0);
    ASSERT_EQ(symlink((root_ + "/etc/cron.d").c_str(), (root_ + "/allowed/cron").c_str()), 0);
    ASSERT_EQ(symlink((root_ + "/etc/cron.d/new-job").c_str(), (root_ + "/allowed/dangling").c_str()), 0);
    ASSERT_EQ(symlink((root_ + "/allowed/receipt.bin").c_str(), (root_ + "/allowed/inside").c_str()), 0);
    ASSERT_EQ(symlink("/dev/null", (root_ + "/allowed/null").c_str()), 0);
  }
  void TearDown() override { std::system(("rm -rf '" + root_ + "'").c_str()); }

  std::string Refuse(const std::string& path, bool withFolder = true) const {
    return RefuseDevice("file://" + path, withFolder ? root_ + "/allowed" : std::string());
  }
  std::string root_;
};

TEST_F(DevicePolicyTest, FilesInsideTheFolderAreAccepted) {
  for (const char* path : {"/allowed/receipt.bin", "/allowed/new.bin", "/allowed/out", "/allowed/out?ext=bin",
                                  "/allowed/inside", "/allowed", "/allowed/out/../receipt.bin"})
    EXPECT_EQ(Refuse(root_ + path), "") << path;
}

TEST_F(DevicePolicyTest, EscapesFromTheFolderAreRefused) {
  for (const char* path :
       {"/root/.bashrc", "/etc/cron.d/web-remote", "/etc/cron.d?ext=sh", "/etc/cron.d", "/allowed/../root/.bashrc",
        "/allowed/../etc/cron.d/job", "/allowed/escape", "/allowed/cron?ext=sh", "/allowed/cron/job",
        "/allowed/dangling", "/allowed/%2e%2e/root/.bashrc", "/allowed/no/such/folder/file"}) {
    const std::string why = Refuse(root_ + path);
    EXPECT_NE(why, "") << path;
  }
  struct stat info;
  EXPECT_NE(stat((root_ + "/etc/cron.d/web-remote").c_str(), &info), 0);
  EXPECT_NE(stat((root_ + "/etc/cron.d/new-job").c_str(), &info), 0);
}

TEST_F(DevicePolicyTest, RefusalsSayWhy) {
  EXPECT_NE(Refuse(root_ + "/root/.bashrc").find("only inside the folder named by -o file-device-dir=DIR"),
            std::string::npos);
  EXPECT_NE(Refuse(root_ + "/allowed/receipt.bin", false).find("and none is set"), std::string::npos);
  EXPECT_NE(Refuse(root_ + "/allowed/receipt.bin?ext=sh").find("only folders take"), std::string::npos);
  EXPECT_NE(Refuse(root_ + "/allowed/dangling").find("link"), std::string::npos);
}

TEST_F(DevicePolicyTest, WithoutAFolderNoFilesAtAll) {
  for (const char* path : {"/allowed/receipt.bin", "/allowed/out", "/allowed/new.bin", "/allowed/out?ext=bin"})
    EXPECT_NE(Refuse(root_ + path, false), "") << path;
}

TEST_F(DevicePolicyTest, PrinterCharacterDevicesOnly) {
  EXPECT_EQ(Refuse("/dev/null", false), "");
  EXPECT_EQ(Refuse(root_ + "/allowed/null", false), "");  // a link to one
  for (const char* device : {"/dev/zero", "/dev/full", "/dev/urandom"}) {
    const std::string why = Refuse(device, false);
    EXPECT_NE(why.find("not a printer or serial port"), std::string::npos) << device << ": " << why;
  }
}

TEST(DevicePolicy, NetworkAndUsbSchemesPass) {
  for (const char* uri : {"usb://Printer/RVT-520?serial=1", "socket://192.0.2.40:9100", "socket://[::1]:9100",
                          "dnssd://Receipt._pdl-datastream._tcp.local/", "snmp://192.0.2.40"})
    EXPECT_EQ(RefuseDevice(uri, ""), "") << uri;
  for (const char* uri : {"", "file:", "not a uri", "ipp://printer/ipp/print", "file://relative/path"})
    EXPECT_NE(RefuseDevice(uri, ""), "") << uri;
}

}  // namespace
