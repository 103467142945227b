// printer_status.cpp: the bits of the printer's status answers.
#include "printer_status.h"

namespace receipt {

namespace {

constexpr uint8_t Bit(int n) { return static_cast<uint8_t>(1u << n); }
bool Both(uint8_t byte, int a, int b) { return (byte & (Bit(a) | Bit(b))) == (Bit(a) | Bit(b)); }

}  // namespace

bool IsRealTimeAnswer(uint8_t byte) { return (byte & 0x93) == 0x12; }

bool IsDoneAnswer(uint8_t byte) { return (byte & 0x90) == 0x00; }

bool ParseStatusAnswers(const uint8_t* answers, size_t count, PrinterStatus* status) {
  if (count < kStatusAnswers) return false;
  for (size_t i = 0; i < kStatusAnswers; ++i)
    if (!IsRealTimeAnswer(answers[i])) return false;
  PrinterStatus s;
  const uint8_t printer = answers[0], offline = answers[1], paper = answers[2];
  s.offline = printer & Bit(3);          // 1: offline
  s.coverOpen = offline & Bit(2);        // 1: cover open
  s.paperEnd = (offline & Bit(5)) ||     // 1: stopped for paper end
               Both(paper, 5, 6);        // 11: roll end sensor sees no paper
  s.error = offline & Bit(6);            // 1: an error occurred
  s.paperNearEnd = Both(paper, 2, 3);    // 11: near-end sensor
  *status = s;
  return true;
}

bool ParseDoneAnswer(uint8_t byte, PrinterStatus* status) {
  if (!IsDoneAnswer(byte)) return false;
  status->paperNearEnd = Both(byte, 0, 1);  // 11: near end
  status->paperEnd = Both(byte, 2, 3);      // 11: roll end
  return true;
}

uint8_t RealTimeAnswerFor(int n, const PrinterStatus& s) {
  uint8_t answer = 0x12;  // bits 1 and 4 set, 0 and 7 clear
  switch (n) {
    case 1: if (s.offline || s.coverOpen || s.paperEnd) answer |= Bit(3); break;
    case 2: answer |= (s.coverOpen ? Bit(2) : 0) | (s.paperEnd ? Bit(5) : 0) | (s.error ? Bit(6) : 0); break;
    case 3: if (s.error) answer |= Bit(5); break;
    case 4: answer |= (s.paperNearEnd ? Bit(2) | Bit(3) : 0) | (s.paperEnd ? Bit(5) | Bit(6) : 0); break;
  }
  return answer;
}

uint8_t DoneAnswerFor(int n, const PrinterStatus& s) {
  if (n != 1) return 0;
  return static_cast<uint8_t>((s.paperNearEnd ? Bit(0) | Bit(1) : 0) | (s.paperEnd ? Bit(2) | Bit(3) : 0));
}

int PaperLevel(const PrinterStatus& status) {
  if (status.paperEnd) return 0;
  if (status.paperNearEnd) return 10;
  return -3;
}

std::string StatusMessage(const PrinterStatus& s) {
  if (s.coverOpen) return "The printer's cover is open: close it to go on printing.";
  if (s.paperEnd) return "The printer is out of paper: load a new roll to go on printing.";
  if (s.error) return "The printer reports an error (a paper jam or the cutter): see to it and switch it off and on.";
  if (s.offline) return "The printer is offline.";
  if (s.paperNearEnd) return "The paper roll is nearly used up.";
  return "";
}

}  // namespace receipt
