// command_line.h: what Installer.exe is asked to do by its command line.
//
// Without arguments it opens its dialog, as it always did. Integrators' scripts
// and management tools call it with switches:
//
//   Installer.exe /quiet [/port:NAME] [/name:QUEUE] [/default] [/log:FILE]
//   Installer.exe /uninstall [/quiet] [/log:FILE]
//   Installer.exe /?
//
// Switches start with "/" or "-", their names in any case; a value follows
// the first ":" (or "="). Each switch may be given once.
#ifndef LORVEX_INSTALLER_COMMAND_LINE_H
#define LORVEX_INSTALLER_COMMAND_LINE_H

#include <optional>
#include <vector>

#include "wtext.h"

namespace lorvex {

// The documented exit codes. Each failure leaves nothing changed except
// where its message says otherwise.
enum ExitCode : int {
  kExitDone = 0,
  kExitBadArguments = 1,    // an unknown switch, a bad value, the log not writable
  kExitNoPort = 2,          // no USB receipt printer found and no /port:
  kExitMissingFile = 3,     // a file of the package was found nowhere
  kExitSpoolerRefused = 4,  // the spooler refused a step; the log has its error code
  kExitNotAdministrator = 5,
  kExitJobsWaiting = 6,     // uninstall: a printer still has jobs
  kExitCancelled = 7,       // uninstall in the dialog form: the user said no
};

enum class Action { kDialog, kInstall, kUninstall, kUsage };

struct Command {
  Action action = Action::kDialog;
  bool quiet = false;
  bool makeDefault = false;
  std::optional<WText> port;
  std::optional<WText> queueName;
  std::optional<WText> logFile;
  // Why the command line was refused: the argument and what is wrong with
  // it; empty when it was understood.
  WText error;
};

// Splits a command line (without the program's name, as wWinMain gets it)
// into arguments as the C runtime does: blanks and tabs separate them
// outside quotes; 2n backslashes before a quote give n backslashes and the
// quote opens or closes quoting, 2n+1 give n and a literal quote; "" inside
// quotes is a literal quote; other backslashes are literal.
std::vector<WText> SplitArguments(const WText& commandLine);

// Reads the arguments. An argument the program does not know, a switch
// given twice, a missing or unusable value, or switches that do not go
// together leave `error` set and the action at kDialog.
Command ParseCommand(const std::vector<WText>& arguments);

// The /log: file of arguments that were refused, so that the refusal is
// logged too; nothing when none is named.
std::optional<WText> LogFileOf(const std::vector<WText>& arguments);

// The longest printer name the spooler takes for a local queue.
constexpr size_t kMaxQueueNameChars = 220;

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_COMMAND_LINE_H
