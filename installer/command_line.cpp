// command_line.cpp: splitting and reading Installer.exe's command line.
#include "command_line.h"

#include "install_rules.h"

namespace lorvex {

namespace {

bool Blank(WChar c) { return c == WChar(' ') || c == WChar('\t'); }

// A switch's value must be printable text the spooler can hold.
bool HasControlCharacter(const WText& text) {
  for (WChar c : text)
    if (c < 0x20 || c == 0x7F) return true;
  return false;
}

WText Quoted(const WText& text) { return WTXT("\"") + text + WTXT("\""); }

}  // namespace

std::vector<WText> SplitArguments(const WText& line) {
  std::vector<WText> arguments;
  size_t i = 0;
  while (true) {
    while (i < line.size() && Blank(line[i])) ++i;
    if (i >= line.size()) break;
    WText argument;
    bool quoted = false;
    while (i < line.size() && (quoted || !Blank(line[i]))) {
      if (line[i] == WChar('\\')) {
        size_t slashes = 0;
        while (i < line.size() && line[i] == WChar('\\')) ++slashes, ++i;
        if (i < line.size() && line[i] == WChar('"')) {
          argument.append(slashes / 2, WChar('\\'));
          if (slashes % 2 == 1) {
            argument += WChar('"');
            ++i;
          }
          // An even count leaves the quote to the code below.
        } else {
          argument.append(slashes, WChar('\\'));
        }
        continue;
      }
      if (line[i] == WChar('"')) {
        if (quoted && i + 1 < line.size() && line[i + 1] == WChar('"')) {
          argument += WChar('"');
          i += 2;
        } else {
          quoted = !quoted;
          ++i;
        }
        continue;
      }
      argument += line[i++];
    }
    arguments.push_back(argument);
  }
  return arguments;
}

std::optional<WText> LogFileOf(const std::vector<WText>& arguments) {
  for (const WText& argument : arguments) {
    if (argument.size() < 6 || (argument[0] != WChar('/') && argument[0] != WChar('-'))) continue;
    const WText head = AsciiLower(argument.substr(1, 4));
    if ((head == WTXT("log:") || head == WTXT("log=")) && !HasControlCharacter(argument))
      return argument.substr(5);
  }
  return std::nullopt;
}

Command ParseCommand(const std::vector<WText>& arguments) {
  Command command;
  bool uninstall = false, usage = false;
  auto refuse = [&](const WText& argument, const WChar* why) {
    command = Command();
    command.error = Quoted(argument) + WTXT(": ") + why;
    return command;
  };
  for (const WText& argument : arguments) {
    if (argument.size() < 2 || (argument[0] != WChar('/') && argument[0] != WChar('-')))
      return refuse(argument, WTXT("not a switch"));
    const size_t split = argument.find_first_of(WTXT(":="));
    const WText name = AsciiLower(argument.substr(1, split == WText::npos ? WText::npos : split - 1));
    const std::optional<WText> value =
        split == WText::npos ? std::nullopt : std::optional<WText>(argument.substr(split + 1));
    auto flag = [&](bool& seen) {
      if (value) return refuse(argument, WTXT("takes no value")), false;
      if (seen) return refuse(argument, WTXT("given twice")), false;
      seen = true;
      return true;
    };
    auto text = [&](std::optional<WText>& slot, size_t limit) {
      if (!value || value->empty()) return refuse(argument, WTXT("needs a value")), false;
      if (slot) return refuse(argument, WTXT("given twice")), false;
      if (value->size() > limit) return refuse(argument, WTXT("value too long")), false;
      if (HasControlCharacter(*value)) return refuse(argument, WTXT("value holds a control character")), false;
      slot = *value;
      return true;
    };
    bool ok;
    if (name == WTXT("quiet") || name == WTXT("q")) ok = flag(command.quiet);
    else if (name == WTXT("uninstall")) ok = flag(uninstall);
    else if (name == WTXT("default")) ok = flag(command.makeDefault);
    else if (name == WTXT("?") || name == WTXT("help") || name == WTXT("h")) ok = flag(usage);
    else if (name == WTXT("port")) ok = text(command.port, kNameChars - 1);
    else if (name == WTXT("log")) ok = text(command.logFile, kNameChars - 1);
    else if (name == WTXT("name")) {
      ok = text(command.queueName, kMaxQueueNameChars);
      // The spooler refuses these in a printer's name.
      if (ok && command.queueName->find_first_of(WTXT("\\,!")) != WText::npos)
        return refuse(argument, WTXT("a printer name cannot hold \\ , or !"));
    } else {
      return refuse(argument, WTXT("unknown switch"));
    }
    if (!ok) return command;
  }
  const bool installOptions = command.port || command.queueName || command.makeDefault;
  if (usage) {
    if (arguments.size() != 1) return refuse(arguments.front(), WTXT("/? goes alone"));
    command.action = Action::kUsage;
  } else if (uninstall) {
    if (installOptions) return refuse(WTXT("/uninstall"), WTXT("takes no /port:, /name: or /default"));
    command.action = Action::kUninstall;
  } else if (command.quiet) {
    command.action = Action::kInstall;
  } else if (installOptions) {
    return refuse(command.port ? WTXT("/port:") : command.queueName ? WTXT("/name:") : WTXT("/default"),
                  WTXT("needs /quiet (the dialog makes these choices itself)"));
  }
  return command;
}

}  // namespace lorvex
