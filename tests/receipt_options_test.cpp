// The printer application's rules, apart from PAPPL: the option rows and
// how a job's attributes become the job core's options, the printer models
// and the device ID match, and the server's own options.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>

#include "printer_models.h"
#include "receipt_options.h"
#include "server_options.h"

namespace {

TEST(JobSettings, DarknessAddsThePrintersOwnSetting) {
  EXPECT_EQ(JobDarkness(0, 50), 0);
  EXPECT_EQ(JobDarkness(40, 50), 40);
  EXPECT_EQ(JobDarkness(0, 100), 100);
  EXPECT_EQ(JobDarkness(-20, 40), -40);
  EXPECT_EQ(JobDarkness(100, 100), 100);
  EXPECT_EQ(JobDarkness(-100, 0), -100);
}

struct AutoCase {
  const char* content;
  int quality;
  const char* halftone;
};
class AutoHalftoneTable : public ::testing::TestWithParam<AutoCase> {};

TEST_P(AutoHalftoneTable, ContentAndQualityPickTheHalftone) {
  EXPECT_EQ(AutoHalftone(GetParam().content, GetParam().quality), GetParam().halftone);
}

INSTANTIATE_TEST_SUITE_P(
    Clients, AutoHalftoneTable,
    ::testing::Values(AutoCase{"text", 3, "HT_NONE"}, AutoCase{"text", 5, "HT_NONE"},
                      AutoCase{"photo", 3, "HT_FloydSteinberg"}, AutoCase{"photo", 4, "HT_FloydSteinberg"},
                      AutoCase{"photo", 5, "HT_Jarvis-Judice-Ninke"}, AutoCase{"graphic", 5, "HT_FloydSteinberg"},
                      AutoCase{"text-and-graphic", 5, "HT_FloydSteinberg"}, AutoCase{"auto", 4, "HT_FloydSteinberg"},
                      AutoCase{"", 0, "HT_FloydSteinberg"}));

TEST(JobSettings, TheAppsDefaultsFitThePaperAndPickTheHalftone) {
  const receipt::Options defaults = ParseReceiptOptions([](const char*) { return std::string(); });
  EXPECT_EQ(defaults.halftone, "auto");
  EXPECT_TRUE(defaults.fitPaperToContent);
  EXPECT_EQ(defaults.cut, receipt::Cut::kEachPage);
  const receipt::Options whole = ParseReceiptOptions([](const char* name) {
    return std::string(name) == "page-length" ? "full-page" : std::string(name) == "halftone" ? "HT_Stucki" : "";
  });
  EXPECT_FALSE(whole.fitPaperToContent);
  EXPECT_EQ(whole.halftone, "HT_Stucki");
}

TEST(OptionRows, EachRowTakesItsDefaultAndSetsTheJobFromEveryValue) {
  std::set<std::string> names;
  for (const ReceiptOption& option : ReceiptOptions()) {
    EXPECT_TRUE(names.insert(option.name).second) << option.name;
    EXPECT_TRUE(TakesValue(option, option.defaultValue)) << option.name;
    std::set<std::string> keywords;
    for (const OptionValue& value : option.values) {
      EXPECT_TRUE(keywords.insert(value.keyword).second) << option.name << "." << value.keyword;
      EXPECT_FALSE(value.label.english.empty() || value.label.simplified.empty() || value.label.traditional.empty())
          << option.name << "." << value.keyword;
    }
  }
  // Every halftone of the driver, and auto.
  EXPECT_EQ(ReceiptOptions().front().values.size(), size_t{kHalftoneOptions} + 1);
  // Values reach the job core's options.
  const std::map<std::string, std::string> sent = {{"horizontal-offset", "M30"}, {"rotate-180", "on"},
                                                   {"save-paper", "both"},       {"cut", "end-of-job"},
                                                   {"cash-drawer", "pin-5"},     {"slice-feed", "none"},
                                                   {"job-pictures", "off"}};
  const receipt::Options o = ParseReceiptOptions([&](const char* name) {
    auto it = sent.find(name);
    return it == sent.end() ? std::string() : it->second;
  });
  EXPECT_EQ(o.offsetNumber, -30);
  EXPECT_TRUE(o.rotate180);
  EXPECT_EQ(o.savePaper, kSaveTopAndBottom);
  EXPECT_EQ(o.cut, receipt::Cut::kEndOfJob);
  EXPECT_EQ(o.drawerPin, 5);
  EXPECT_FALSE(o.sliceFeed);
  EXPECT_FALSE(o.keepPicture);
  // A value an option does not take is its default.
  const receipt::Options bad = ParseReceiptOptions([](const char*) { return std::string("bogus"); });
  EXPECT_EQ(bad.offsetNumber, 0);
  EXPECT_EQ(bad.cut, receipt::Cut::kEachPage);
  EXPECT_TRUE(bad.sliceFeed);
  EXPECT_TRUE(bad.keepPicture);
}

JobRequest Request(std::map<std::string, std::string> job, std::map<std::string, std::string> printer) {
  JobRequest r;
  r.jobValue = [job](const char* name) {
    auto it = job.find(name);
    return it == job.end() ? std::string() : it->second;
  };
  r.printerDefault = [printer](const char* name) {
    auto it = printer.find(name);
    return it == printer.end() ? std::string() : it->second;
  };
  return r;
}

TEST(JobRules, TheJobsValueWinsThenThePrintersDefaultThenTheOptionsOwn) {
  EXPECT_EQ(ResolveJobOptions(Request({{"halftone", "HT_Stucki"}}, {{"halftone", "HT_Sierra"}})).halftone, "HT_Stucki");
  EXPECT_EQ(ResolveJobOptions(Request({}, {{"halftone", "HT_Sierra"}})).halftone, "HT_Sierra");
  EXPECT_EQ(ResolveJobOptions(Request({}, {{"cut", "none"}})).cut, receipt::Cut::kNone);
  // Without either, auto picks by the content the client asks for.
  JobRequest text = Request({}, {});
  text.content = "text";
  EXPECT_EQ(ResolveJobOptions(text).halftone, "HT_NONE");
  JobRequest photo = Request({}, {{"halftone", "auto"}});
  photo.content = "photo";
  photo.quality = 5;
  EXPECT_EQ(ResolveJobOptions(photo).halftone, "HT_Jarvis-Judice-Ninke");
}

TEST(JobRules, FinishingsSentWithTheJobDecideTheCut) {
  struct Case {
    bool sent, trim;
    const char* cut;    // the cut option, job or printer
    const char* agent;  // the client's User-Agent
    receipt::Cut want;
    bool backend = false;  // the whole job template, as CUPS's backend sends
  } cases[] = {
      {false, false, "each-page", "", receipt::Cut::kEachPage},  // finishings-default trim: the option stands
      {false, false, "none", "", receipt::Cut::kNone},
      {true, false, "each-page", "ipptool/2.4", receipt::Cut::kNone},  // finishings none, asked
      {true, true, "none", "", receipt::Cut::kEachPage},               // finishings trim
      {true, true, "end-of-job", "", receipt::Cut::kEndOfJob},
      // CUPS's backend sends none with every job: the printer's cut stands,
      // also cut=none; ipptool has CUPS's User-Agent but sends no template.
      {true, false, "each-page", "CUPS/2.4.2 (Linux 6.1.0; x86_64) IPP/2.0", receipt::Cut::kEachPage, true},
      {true, false, "none", "CUPS/2.4.2 (Linux 6.1.0; x86_64) IPP/2.0", receipt::Cut::kNone, true},
      {true, true, "none", "CUPS/2.4.2 IPP/2.0", receipt::Cut::kEachPage, true},  // trim from CUPS is a choice
      {true, false, "each-page", "CUPS/2.4.2 IPP/2.0", receipt::Cut::kNone, false},
  };
  for (const Case& c : cases) {
    JobRequest r = Request({}, {{"cut", c.cut}});
    r.finishingsSent = c.sent;
    r.finishingsTrim = c.trim;
    r.finishingsOnlyNone = c.sent && !c.trim;
    r.userAgent = c.agent;
    r.fullJobTemplate = c.backend;
    EXPECT_EQ(ResolveJobOptions(r).cut, c.want) << c.sent << c.trim << c.cut << c.agent;
  }
}

TEST(JobRules, CopiesPagesLineAndDarkness) {
  JobRequest r = Request({}, {});
  r.copies = 0;
  r.pages = -1;
  r.lineDots = kNarrowLineDots;
  r.printDarkness = 40;
  r.printerDarkness = 60;
  const receipt::Options o = ResolveJobOptions(r);
  EXPECT_EQ(o.copies, 1u);
  EXPECT_EQ(o.pagesPerCopy, 0u);
  EXPECT_EQ(o.lineDots, 384u);
  EXPECT_EQ(o.darkness, 60);
}

TEST(PrinterModels, DeviceIdsPickTheirModel) {
  struct Case {
    const char* id;
    const char* driver;  // null: not ours
  } cases[] = {
      {"MFG:LORVEX;MDL:RVT-520;CMD:ESC/POS;", "lorvex_80mm"},
      {"MFG:EPSON;CMD:ESCPOS;MDL:TM-T20;", "lorvex_80mm"},
      {"MFG:Xprinter;MDL:XP-58 58mm;CMD:ESC/POS;", "lorvex_58mm"},
      {"MFG:POS;MDL:Printer 58 mm;CMD:ESC/POS;", "lorvex_58mm"},
      {"MDL:RVT-520;", "lorvex_80mm"},
      {"MFG:HP;MDL:LaserJet;CMD:PCL,PJL;", nullptr},
      {"MFG:Generic;MDL:58mm;CMD:PCL;", nullptr},  // 58 mm but no ESC/POS
      {"", nullptr},
  };
  for (const Case& c : cases) {
    const PrinterModel* model = ModelForDeviceId(c.id);
    EXPECT_STREQ(model ? model->driver : nullptr, c.driver) << c.id;
  }
  EXPECT_EQ(ModelForDeviceId(nullptr), nullptr);
  // Each row's own device ID picks it, and each driver name finds its row.
  for (const PrinterModel& model : PrinterModels()) {
    EXPECT_EQ(ModelForDeviceId(model.deviceId), &model) << model.driver;
    EXPECT_EQ(ModelOfDriver(model.driver), &model);
    EXPECT_EQ(model.media.size(), 5u) << model.driver;
  }
  EXPECT_EQ(ModelOfDriver("lorvex_112mm"), nullptr);
  EXPECT_EQ(ModelOfDriver(nullptr), nullptr);
}

bool Parse(std::map<std::string, std::string> given, ServerOptions* out, std::string* why) {
  return ParseServerOptions(
      [&](const char* name) {
        auto it = given.find(name);
        return it == given.end() ? nullptr : it->second.c_str();
      },
      out, why);
}

TEST(ServerOptionsTest, GoodValuesAreTakenAndBadOnesRefusedByName) {
  ServerOptions o;
  std::string why;
  ASSERT_TRUE(Parse({}, &o, &why));
  EXPECT_EQ(o.port, 8000);
  EXPECT_EQ(o.logLevel, ServerOptions::LogLevel::kInfo);
  EXPECT_EQ(o.logFile, "-");
  EXPECT_EQ(o.maxConnectionsPerClient, 32);
  ASSERT_TRUE(Parse({{"server-port", "631"}, {"log-level", "debug"}, {"file-device-dir", "/tmp"},
                     {"max-connections-per-client", "200"}},
                    &o, &why))
      << why;
  EXPECT_EQ(o.maxConnectionsPerClient, 200);
  EXPECT_FALSE(o.rawSocket);
  EXPECT_EQ(o.port, 631);
  EXPECT_EQ(o.logLevel, ServerOptions::LogLevel::kDebug);
  EXPECT_EQ(o.fileDeviceDir, "/tmp");
  ASSERT_TRUE(Parse({{"server-options", "none,raw-socket"}}, &o, &why)) << why;
  EXPECT_TRUE(o.rawSocket);
  const struct {
    const char* name;
    const char* value;
    const char* message;
  } bad[] = {
      {"server-port", "abc", "server-port=abc is not a port number (1 to 65535)."},
      {"server-port", "80a", "server-port=80a is not a port number (1 to 65535)."},
      {"server-port", "0", "server-port=0 is not a port number (1 to 65535)."},
      {"server-port", "65536", "server-port=65536 is not a port number (1 to 65535)."},
      {"server-port", "99999999999999999999", "server-port=99999999999999999999 is not a port number"},
      {"server-port", "", "server-port= is not a port number"},
      {"max-connections-per-client", "0", "max-connections-per-client=0 is not a number from 1 to 10000."},
      {"max-connections-per-client", "-5", "max-connections-per-client=-5 is not a number"},
      {"log-level", "bogus", "log-level=bogus is not one of debug, info, warn, error, fatal."},
      {"server-options", "raw-socket,usb-printer", "server-options=raw-socket,usb-printer: 'usb-printer' is not one of"},
      {"log-level", "DEBUG", "log-level=DEBUG is not one of"},
      {"file-device-dir", "relative/dir", "file-device-dir=relative/dir is not an absolute path to a folder."},
      {"file-device-dir", "/nonexistent-lorvex", "is not an absolute path to a folder."},
  };
  for (const auto& b : bad) {
    EXPECT_FALSE(Parse({{b.name, b.value}}, &o, &why)) << b.name << "=" << b.value;
    EXPECT_NE(why.find(b.message), std::string::npos) << why;
  }
}

TEST(ServerOptionsTest, ListenPolicyAndAccessPassword) {
  for (const char* loopback : {"", "localhost", "127.0.0.1", "::1", "[::1]"}) EXPECT_TRUE(LoopbackOnly(loopback));
  for (const char* network : {"*", "0.0.0.0", "shop.local", "192.0.2.1"}) EXPECT_FALSE(LoopbackOnly(network));
  const std::string path = testing::TempDir() + "lorvex-password";
  std::string password, why;
  std::ofstream(path) << "s3cret-pass\r\nsecond line\n";
  ASSERT_TRUE(ReadAccessPassword(path, &password, &why)) << why;
  EXPECT_EQ(password, "s3cret-pass");
  std::ofstream(path) << "short\n";
  EXPECT_FALSE(ReadAccessPassword(path, &password, &why));
  EXPECT_EQ(why, "the password in " + path + " is shorter than 8 characters");
  std::remove(path.c_str());
  EXPECT_FALSE(ReadAccessPassword(path, &password, &why));
  EXPECT_EQ(why, "cannot read the admin-password-file " + path);
  EXPECT_NE(NeedsPasswordMessage("*", 8000).find("listening on * needs an access password"), std::string::npos);
}

}  // namespace
