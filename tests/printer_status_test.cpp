// The printer's status answers, bit by bit, as the ESC/POS command
// reference lays them out; each byte below is worked by hand from it.
#include "printer_status.h"

#include <gtest/gtest.h>

namespace {

using receipt::PrinterStatus;

struct Answers {
  const char* what;
  uint8_t printer, offlineCause, paper;  // DLE EOT 1, 2, 4
  PrinterStatus want;
};

PrinterStatus Status(bool offline, bool cover, bool end, bool nearEnd, bool error) {
  PrinterStatus s;
  s.offline = offline;
  s.coverOpen = cover;
  s.paperEnd = end;
  s.paperNearEnd = nearEnd;
  s.error = error;
  return s;
}

class StatusAnswers : public ::testing::TestWithParam<Answers> {};

TEST_P(StatusAnswers, MeanWhatTheBitsSay) {
  const Answers& a = GetParam();
  const uint8_t bytes[] = {a.printer, a.offlineCause, a.paper};
  PrinterStatus s;
  ASSERT_TRUE(receipt::ParseStatusAnswers(bytes, 3, &s)) << a.what;
  EXPECT_TRUE(s == a.want) << a.what;
}

// 0x12 is every answer's fixed bits alone (bits 1 and 4): all well.
INSTANTIATE_TEST_SUITE_P(
    Printer, StatusAnswers,
    ::testing::Values(Answers{"ready", 0x12, 0x12, 0x12, Status(false, false, false, false, false)},
                      // offline (bit 3); stopped for paper end (bit 5); both roll end bits (5, 6)
                      Answers{"paper end", 0x1A, 0x32, 0x72, Status(true, false, true, false, false)},
                      // both near-end bits (2, 3), still printing
                      Answers{"near end", 0x12, 0x12, 0x1E, Status(false, false, false, true, false)},
                      // offline; cover open (bit 2)
                      Answers{"cover open", 0x1A, 0x16, 0x12, Status(true, true, false, false, false)},
                      // an error occurred (bit 6)
                      Answers{"error", 0x1A, 0x52, 0x12, Status(true, false, false, false, true)},
                      // one roll-end bit alone is not paper end
                      Answers{"half a sensor", 0x12, 0x12, 0x32, Status(false, false, false, false, false)}));

TEST(StatusAnswers, WhatDoesNotParseIsIgnored) {
  PrinterStatus s;
  s.paperEnd = true;  // left as it was by every refusal below
  const uint8_t wrongShape[][3] = {{0x00, 0x12, 0x12}, {0x12, 0xFF, 0x12}, {0x12, 0x12, 0x13}, {0x92, 0x12, 0x12}};
  for (const auto& bytes : wrongShape) EXPECT_FALSE(receipt::ParseStatusAnswers(bytes, 3, &s));
  const uint8_t ready[] = {0x12, 0x12, 0x12};
  EXPECT_FALSE(receipt::ParseStatusAnswers(ready, 2, &s));  // too few
  EXPECT_TRUE(s.paperEnd);
}

TEST(DoneAnswer, PaperSensorBits) {
  PrinterStatus s;
  EXPECT_TRUE(receipt::ParseDoneAnswer(0x00, &s));
  EXPECT_FALSE(s.paperEnd || s.paperNearEnd);
  EXPECT_TRUE(receipt::ParseDoneAnswer(0x03, &s));  // near-end bits 0, 1
  EXPECT_TRUE(s.paperNearEnd && !s.paperEnd);
  EXPECT_TRUE(receipt::ParseDoneAnswer(0x0C, &s));  // roll end bits 2, 3
  EXPECT_TRUE(s.paperEnd && !s.paperNearEnd);
  // A real-time answer (bit 4) or a byte with bit 7 is not one.
  EXPECT_FALSE(receipt::ParseDoneAnswer(0x12, &s));
  EXPECT_FALSE(receipt::ParseDoneAnswer(0x80, &s));
  EXPECT_TRUE(receipt::IsRealTimeAnswer(0x12));
  EXPECT_FALSE(receipt::IsDoneAnswer(0x12));
}

TEST(StatusMessage, SaysWhatToDo) {
  EXPECT_EQ(receipt::StatusMessage(PrinterStatus()), "");
  EXPECT_NE(receipt::StatusMessage(Status(true, false, true, false, false)).find("out of paper"), std::string::npos);
  EXPECT_NE(receipt::StatusMessage(Status(true, true, false, false, false)).find("cover is open"), std::string::npos);
  EXPECT_NE(receipt::StatusMessage(Status(false, false, false, true, false)).find("nearly used up"), std::string::npos);
}

}  // namespace

namespace {

// What the server answers a point-of-sale client for the printer reads back
// as the same status, for every combination of what it can say.
TEST(AnswersForClients, ReadBackAsTheStatusTheyStandFor) {
  for (int bits = 0; bits < 32; ++bits) {
    receipt::PrinterStatus s;
    s.offline = bits & 1;
    s.coverOpen = bits & 2;
    s.paperEnd = bits & 4;
    s.paperNearEnd = bits & 8;
    s.error = bits & 16;
    const uint8_t answers[3] = {receipt::RealTimeAnswerFor(1, s), receipt::RealTimeAnswerFor(2, s),
                                receipt::RealTimeAnswerFor(4, s)};
    receipt::PrinterStatus back;
    ASSERT_TRUE(receipt::ParseStatusAnswers(answers, 3, &back)) << bits;
    EXPECT_EQ(back.offline, s.offline || s.coverOpen || s.paperEnd) << bits;
    EXPECT_EQ(back.coverOpen, s.coverOpen);
    EXPECT_EQ(back.paperEnd, s.paperEnd);
    EXPECT_EQ(back.paperNearEnd, s.paperNearEnd);
    EXPECT_EQ(back.error, s.error);
    EXPECT_TRUE(receipt::IsRealTimeAnswer(receipt::RealTimeAnswerFor(3, s)));
    receipt::PrinterStatus done;
    ASSERT_TRUE(receipt::ParseDoneAnswer(receipt::DoneAnswerFor(1, s), &done));
    EXPECT_EQ(done.paperEnd, s.paperEnd);
    EXPECT_EQ(done.paperNearEnd, s.paperNearEnd);
  }
  // Hand-worked: the paper is out.
  receipt::PrinterStatus out;
  out.paperEnd = true;
  EXPECT_EQ(receipt::RealTimeAnswerFor(4, out), 0x72);
  EXPECT_EQ(receipt::RealTimeAnswerFor(2, out), 0x32);
  EXPECT_EQ(receipt::DoneAnswerFor(1, out), 0x0C);
  EXPECT_EQ(receipt::DoneAnswerFor(2, out), 0x00);
}

}  // namespace
