// Installer.exe's command line: how it is split into arguments, and which
// switches it takes, refuses and combines.
#include <gtest/gtest.h>

#include "command_line.h"

using namespace lorvex;

namespace {
WText W(const char* text) { return WideFromUtf8(text); }
std::vector<std::string> Split(const char* line) {
  std::vector<std::string> out;
  for (const WText& a : SplitArguments(W(line))) out.push_back(Utf8FromWide(a));
  return out;
}
Command Parse(const char* line) { return ParseCommand(SplitArguments(W(line))); }
}  // namespace

TEST(CommandLine, SplitsAsTheCRuntimeDoes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(Split(""), V{});
  EXPECT_EQ(Split("  \t "), V{});
  EXPECT_EQ(Split("/quiet  /port:LPT1:\t/default"), (V{"/quiet", "/port:LPT1:", "/default"}));
  EXPECT_EQ(Split("\"/log:C:\\Program Files\\x.log\" /q"), (V{"/log:C:\\Program Files\\x.log", "/q"}));
  EXPECT_EQ(Split("/name:\"Till 1\""), V{"/name:Till 1"});
  EXPECT_EQ(Split("a\\\\\\\"b"), V{"a\\\"b"});      // 3 backslashes + quote: one backslash, a quote
  EXPECT_EQ(Split("\"a\\\\\" b"), (V{"a\\", "b"}));  // 2 backslashes + quote: one backslash, quote closes
  EXPECT_EQ(Split("C:\\dir\\ x"), (V{"C:\\dir\\", "x"}));
  EXPECT_EQ(Split("\"a\"\"b\""), V{"a\"b"});
  EXPECT_EQ(Split("\"unclosed arg"), V{"unclosed arg"});
  EXPECT_EQ(Split("\"\""), V{""});
}

TEST(CommandLine, ReadsTheSwitches) {
  Command c = Parse("/QUIET -port=USB001 /Name:\"Till 2\" /default \"/log:C:\\l.txt\"");
  ASSERT_TRUE(c.error.empty()) << Utf8FromWide(c.error);
  EXPECT_EQ(c.action, Action::kInstall);
  EXPECT_TRUE(c.quiet);
  EXPECT_TRUE(c.makeDefault);
  EXPECT_EQ(*c.port, W("USB001"));
  EXPECT_EQ(*c.queueName, W("Till 2"));
  EXPECT_EQ(*c.logFile, W("C:\\l.txt"));
  EXPECT_EQ(Parse("/port:LPT1: /q").port.value(), W("LPT1:"));  // the value keeps its colon

  EXPECT_EQ(Parse("").action, Action::kDialog);
  EXPECT_EQ(Parse("/log:C:\\d.log").action, Action::kDialog);
  EXPECT_EQ(Parse("/?").action, Action::kUsage);
  EXPECT_EQ(Parse("-h").action, Action::kUsage);
  c = Parse("/uninstall /quiet");
  EXPECT_EQ(c.action, Action::kUninstall);
  EXPECT_TRUE(c.quiet);
  c = Parse("/uninstall");
  EXPECT_EQ(c.action, Action::kUninstall);
  EXPECT_FALSE(c.quiet);
}

TEST(CommandLine, RefusesWhatItDoesNotUnderstand) {
  const char* refused[] = {
      "/bogus", "quiet", "/", "/quiet /quiet", "/quiet:yes", "/quiet /port:", "/quiet /port",
      "/quiet /port:A /port:B", "/quiet /name:a\\b", "/quiet /name:a,b", "/quiet /name:a!b",
      "/port:LPT1:",            // install switches need /quiet
      "/default", "/uninstall /port:LPT1:", "/uninstall /default", "/? /quiet", "/quiet /log:",
  };
  for (const char* line : refused) {
    const Command c = Parse(line);
    EXPECT_FALSE(c.error.empty()) << line;
    EXPECT_EQ(c.action, Action::kDialog) << line;
    EXPECT_FALSE(c.quiet) << line;
  }
  EXPECT_EQ(Utf8FromWide(Parse("/quiet /bogus").error), "\"/bogus\": unknown switch");
  // A refused line still names its log, which then records the refusal.
  EXPECT_EQ(LogFileOf(SplitArguments(W("/quiet /bogus -LOG=C:\\x.log"))).value(), W("C:\\x.log"));
  EXPECT_FALSE(LogFileOf(SplitArguments(W("/quiet /log: /logs"))));
  // Control characters and overlong values.
  std::vector<WText> args{W("/quiet"), W("/name:a") + WChar(0x1b)};
  EXPECT_FALSE(ParseCommand(args).error.empty());
  args = {W("/quiet"), W("/name:") + WText(kMaxQueueNameChars + 1, WChar('x'))};
  EXPECT_FALSE(ParseCommand(args).error.empty());
  args = {W("/quiet"), W("/name:") + WText(kMaxQueueNameChars, WChar('x'))};
  EXPECT_TRUE(ParseCommand(args).error.empty());
}
