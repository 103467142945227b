// installer_program.h: the installer program's state and its steps that
// other sources call: the test prints and the port wizard.
#ifndef LORVEX_INSTALLER_INSTALLER_PROGRAM_H
#define LORVEX_INSTALLER_INSTALLER_PROGRAM_H

#include <windows.h>

#include "usb_discovery.h"
#include "wtext.h"

namespace lorvex {

// The program's own module: dialogs, strings and the logo come from it.
extern HINSTANCE g_instance;

// Loads string `id` (at most `capacity` - 1 characters) in the language the
// resource loader picks; empty when it is missing.
WText LoadText(int id, size_t capacity = 1024);

// Prints the test page on the printer through GDI (so through the queue's
// driver). Answers 1 in every case, as the dialog does not look further.
int PrintTestPage(const WText& printerName);

// Writes the port test's text, then the feed-and-cut bytes, straight to the
// USB device. True when the feed-and-cut write took every byte.
bool PrintUsbPortTest(const UsbPrinterEntry& entry);

// Opens the device path and writes the bytes in one call. True only when the
// write succeeded and took every byte.
bool WriteToDevice(const WText& devicePath, const void* bytes, DWORD length);

// Starts the printer-properties wizard for the printer and turns it to its
// third tab, the port settings.
void OpenPortWizard(const WText& printerName);

}  // namespace lorvex

#endif  // LORVEX_INSTALLER_INSTALLER_PROGRAM_H
