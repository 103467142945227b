// The printer link with a scripted device and a clock that moves only when
// the link waits: the waits before a job and the confirmation after it.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "printer_link.h"

namespace {

using receipt::Answering;
using receipt::PrinterStatus;
using Bytes = std::vector<uint8_t>;

// DLE EOT 1, 2, 4 answers: all well, and paper out (offline cause bit 5,
// roll sensor bits 5-6).
const Bytes kReady = {0x12, 0x12, 0x12};
const Bytes kPaperOut = {0x1A, 0x32, 0x72};
const Bytes kDone = {0x00};  // GS r 1: paper present
const Bytes kSilence = {};

class Clock : public receipt::LinkClock {
 public:
  TimePoint Now() override { return now; }
  void Sleep(std::chrono::milliseconds d) override { now += d; }
  TimePoint now{};
};

// Each read takes the next scripted answer; silence (or the end of the
// script) is a read that waits the device's 10 s and brings nothing.
class Port : public receipt::PrinterPort {
 public:
  explicit Port(Clock& clock) : clock_(clock) {}
  long Write(const uint8_t* data, size_t size) override {
    if (refuseAfter >= 0 && static_cast<long>(written.size() + size) > refuseAfter) return -1;
    written.insert(written.end(), data, data + size);
    return static_cast<long>(size);
  }
  long Read(uint8_t* buffer, size_t size) override {
    ++reads;
    if (script.empty() || script.front().empty()) {
      if (!script.empty()) script.pop_front();
      clock_.now += std::chrono::seconds(10);
      return 0;
    }
    const Bytes answer = script.front();
    script.pop_front();
    const size_t n = std::min(size, answer.size());
    std::copy(answer.begin(), answer.begin() + static_cast<long>(n), buffer);
    return static_cast<long>(n);
  }
  void Flush() override {}

  std::deque<Bytes> script;
  Bytes written;
  long refuseAfter = -1;
  int reads = 0;

 private:
  Clock& clock_;
};

class Job : public receipt::LinkJob {
 public:
  bool Canceled() override { return cancelAfter >= 0 && cancelChecks++ >= cancelAfter; }
  void SetMessage(const std::string& message) override { messages.push_back(message); }
  void ShowStatus(const PrinterStatus& status) override { shown.push_back(status); }
  bool MayAsk() override { return answers && known != Answering::kNo; }
  Answering Known() override { return known; }
  void Remember(Answering a) override { known = a; }
  void BeforeFirstByte() override { markedAt.push_back(writtenBefore ? writtenBefore->size() : 0); }

  bool answers = true;  // a kind of device that may answer
  Answering known = Answering::kUnknown;
  int cancelAfter = -1, cancelChecks = 0;
  std::vector<std::string> messages;
  std::vector<PrinterStatus> shown;
  const Bytes* writtenBefore = nullptr;
  std::vector<size_t> markedAt;  // bytes on the device when the job was marked begun
};

struct Link : ::testing::Test {
  Clock clock;
  Port port{clock};
  Job job;
  receipt::JobLink link{port, job, clock};
};

TEST_F(Link, AJobWaitsWhileThePaperIsOutAndPrintsOnceItIsBack) {
  port.script = {kPaperOut, kPaperOut, kReady};
  EXPECT_TRUE(link.WaitUntilReady());
  ASSERT_EQ(job.messages.size(), 3u);
  EXPECT_EQ(job.messages[0], "Waiting: The printer is out of paper: load a new roll to go on printing.");
  EXPECT_EQ(job.messages[2], "Printing.");
  EXPECT_EQ(clock.now.time_since_epoch(), std::chrono::seconds(4)) << "asked again every 2 s";
  EXPECT_TRUE(job.shown.front().paperEnd);
  EXPECT_EQ(job.known, Answering::kYes);
  const Bytes asked(std::begin(receipt::kStatusRequest), std::end(receipt::kStatusRequest));
  EXPECT_EQ(port.written.size(), 3 * asked.size());
}

TEST_F(Link, ACancelEndsTheWait) {
  port.script = {kPaperOut, kPaperOut, kPaperOut};
  job.cancelAfter = 25;
  EXPECT_FALSE(link.WaitUntilReady());
}

TEST_F(Link, ASilentDeviceIsTakenAsWriteOnlyAndPrintsAtOnce) {
  EXPECT_TRUE(link.WaitUntilReady());
  EXPECT_EQ(job.known, Answering::kNo);
  const Bytes receipt = {1, 2, 3};
  EXPECT_TRUE(link.Write(receipt.data(), receipt.size()));
  std::string why;
  EXPECT_TRUE(link.Confirm(&why));
  EXPECT_EQ(port.written.back(), 3) << "no GS r to a device that never answers";
}

TEST_F(Link, TheJobIsDoneWhenThePrinterConfirmsItAfterItsBytes) {
  job.known = Answering::kYes;
  const Bytes receipt = {9, 9};
  ASSERT_TRUE(link.Write(receipt.data(), receipt.size()));
  port.script = {kSilence, kReady, kDone};
  std::string why;
  EXPECT_TRUE(link.Confirm(&why)) << why;
  const Bytes tail(port.written.begin() + 2, port.written.begin() + 5);
  EXPECT_EQ(tail, Bytes(std::begin(receipt::kDoneRequest), std::end(receipt::kDoneRequest)));
}

TEST_F(Link, PaperOutWhileConfirmingWaitsForPaperThenTheDeadlineRunsAgain) {
  job.known = Answering::kYes;
  // 110 s of silence, paper out, another 110 s, then the answer: more than
  // 120 s in all, but never 120 s since the printer last said why.
  for (int i = 0; i < 11; ++i) port.script.push_back(kSilence);
  port.script.push_back(kPaperOut);
  for (int i = 0; i < 11; ++i) port.script.push_back(kSilence);
  port.script.push_back(kDone);
  std::string why;
  EXPECT_TRUE(link.Confirm(&why)) << why;
  EXPECT_EQ(job.messages.back(), "Waiting: The printer is out of paper: load a new roll to go on printing.");
}

TEST_F(Link, NoConfirmationWithinTheLimitEndsTheJobSayingWhatToCheck) {
  job.known = Answering::kYes;
  std::string why;
  EXPECT_FALSE(link.Confirm(&why));
  EXPECT_EQ(why,
            "The printer did not confirm within 120 s that it took the job in: look at the receipt before printing it "
            "again.");
  EXPECT_EQ(port.reads, 12);
  job.cancelAfter = 0;
  EXPECT_FALSE(link.Confirm(&why));
  EXPECT_EQ(why, "Cancelled.");
}

// The job is marked as begun once, before its first byte reaches the
// device, never for the status requests around it.
TEST_F(Link, TheJobIsMarkedBegunBeforeItsFirstByte) {
  job.writtenBefore = &port.written;
  port.script = {kReady};
  ASSERT_TRUE(link.WaitUntilReady());
  EXPECT_TRUE(job.markedAt.empty()) << "a status request is not the job";
  const Bytes receipt = {1, 2, 3};
  ASSERT_TRUE(link.Write(receipt.data(), receipt.size()));
  ASSERT_TRUE(link.Write(receipt.data(), receipt.size()));
  EXPECT_EQ(job.markedAt, std::vector<size_t>{sizeof receipt::kStatusRequest});
}

TEST_F(Link, ABrokenConnectionSaysHowMuchWasSent) {
  job.known = Answering::kYes;
  port.refuseAfter = 5;
  const Bytes receipt = {1, 2, 3, 4};
  EXPECT_TRUE(link.Write(receipt.data(), receipt.size()));
  EXPECT_FALSE(link.Write(receipt.data(), receipt.size()));
  EXPECT_TRUE(link.Broken());
  std::string why;
  EXPECT_FALSE(link.Confirm(&why));
  EXPECT_EQ(why, "The connection to the printer broke after 4 bytes of this job were sent; the job is not printed "
                 "again by itself.");
}

}  // namespace
