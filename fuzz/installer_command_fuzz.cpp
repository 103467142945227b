// Feeds Installer.exe's command-line reader any wide text a caller can pass
// (and the Apps & features entry's port list any registry value): every line
// is either refused with a reason or gives values within the spooler's
// limits, and every stored list reads back as texts without zeros.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "command_line.h"
#include "install_rules.h"
#include "maintenance.h"

namespace {

void Check(bool ok) {
  if (!ok) std::abort();
}

bool Printable(const WText& text) {
  for (WChar c : text)
    if (c < 0x20 || c == 0x7F) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WText line;
  for (size_t i = 0; i + 1 < size; i += 2) line.push_back(static_cast<WChar>(data[i] | (data[i + 1] << 8)));

  const std::vector<WText> arguments = lorvex::SplitArguments(line);
  size_t total = 0;
  for (const WText& a : arguments) total += a.size();
  Check(total <= line.size());
  const lorvex::Command command = lorvex::ParseCommand(arguments);
  if (!command.error.empty()) {
    Check(command.action == lorvex::Action::kDialog && !command.quiet);
  } else {
    if (command.port) Check(!command.port->empty() && command.port->size() < lorvex::kNameChars && Printable(*command.port));
    if (command.queueName)
      Check(!command.queueName->empty() && command.queueName->size() <= lorvex::kMaxQueueNameChars &&
            Printable(*command.queueName) && command.queueName->find_first_of(WTXT("\\,!")) == WText::npos);
    if (command.port || command.queueName || command.makeDefault) Check(command.action == lorvex::Action::kInstall);
  }

  for (const WText& text : lorvex::MultiStringTexts(line.data(), line.size())) {
    Check(!text.empty());
    for (WChar c : text) Check(c != 0);
  }
  return 0;
}
