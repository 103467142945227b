// The page-and-copy loop: pages from a source through the page encoder, the
// job told of each page, a page cut short printed before the job says so.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "byte_collector.h"
#include "escpos_stream.h"
#include "job_pages.h"

namespace {

using Collect = ByteCollector;

// Pages of black rows; `rowsThere` of a page may be fewer than it claims.
class Pages : public PageSource {
 public:
  struct Page {
    unsigned height, rowsThere;
  };
  explicit Pages(std::vector<Page> list = {}) : pages(std::move(list)) {}
  std::vector<Page> pages;
  bool refuseLast = false;
  bool failRow = false;
  size_t at = 0;
  unsigned row = 0;

  Next NextPage(PageShape* shape, std::string* why) override {
    if (at == pages.size()) return Next::kEnd;
    if (refuseLast && at + 1 == pages.size()) return *why = "refused", Next::kRefused;
    *shape = {576, pages[at].height, 0};
    row = 0;
    ++at;
    return Next::kPage;
  }
  Row ReadRow(uint8_t* out, std::string* why) override {
    if (failRow) return *why = "unreadable", Row::kFailed;
    if (row == pages[at - 1].rowsThere) return Row::kEndedEarly;
    ++row;
    for (unsigned x = 0; x < 576; ++x) out[x] = 0;
    return Row::kRow;
  }
};

class Job : public JobControl {
 public:
  int cancelAfter = -1;
  int asked = 0, pagesDone = 0;
  bool Canceled() override { return cancelAfter >= 0 && asked++ >= cancelAfter; }
  void PageDone() override { ++pagesDone; }
};

receipt::Options Plain() {
  receipt::Options o;
  o.cut = receipt::Cut::kEachPage;
  return o;
}

uint32_t PaperRows(const std::vector<uint8_t>& bytes, size_t* cuts) {
  StreamModel model;
  model.jobCommands = true;
  const DecodedStream decoded = DecodeStream(bytes.data(), bytes.size(), model);
  EXPECT_TRUE(decoded.ok) << decoded.error;
  const Paper paper = LayOut(decoded, model);
  *cuts = paper.cuts.size();
  return paper.height;
}

TEST(JobPages, EveryPageIsPrintedCutAndCounted) {
  Pages source({{30, 30}, {50, 50}});
  Collect sink;
  receipt::PageEncoder encoder(Plain(), sink);
  Job job;
  std::string why = "stale";
  EXPECT_TRUE(PrintPages(source, encoder, job, &why));
  EXPECT_EQ(why, "");
  EXPECT_EQ(job.pagesDone, 2);
  size_t cuts = 0;
  EXPECT_EQ(PaperRows(sink.bytes, &cuts), 80u);
  EXPECT_EQ(cuts, 2u);
}

TEST(JobPages, APageCutShortPrintsWhatCameThenEndsTheJob) {
  Pages source({{30, 30}, {100, 40}, {30, 30}});
  Collect sink;
  receipt::PageEncoder encoder(Plain(), sink);
  Job job;
  std::string why;
  EXPECT_FALSE(PrintPages(source, encoder, job, &why));
  EXPECT_EQ(why, "The document ended early: page 2 has 40 of its 100 rows.");
  EXPECT_EQ(job.pagesDone, 2);
  size_t cuts = 0;
  EXPECT_EQ(PaperRows(sink.bytes, &cuts), 70u);
  EXPECT_EQ(source.at, 2u) << "the third page is never opened";
}

// A page the encoder cannot take: it has no width.
class NoWidth : public Pages {
 public:
  Next NextPage(PageShape* shape, std::string*) override { return *shape = {0, 1, 0}, Next::kPage; }
};

TEST(JobPages, RefusalsFailuresAndCancelsStopWithTheirMessage) {
  Pages refused({{30, 30}, {30, 30}}), failing({{30, 30}}), long_({{300, 300}});
  refused.refuseLast = true;
  failing.failRow = true;
  NoWidth noWidth;
  const struct {
    const char* what;
    Pages& source;
    int cancelAfter;
    const char* why;
    int pagesDone;
  } cases[] = {
      {"a page refused", refused, -1, "refused", 1},
      {"a row that cannot be read", failing, -1, "unreadable", 0},
      {"cancelled: nothing of its own to say", long_, 10, "", 0},
      {"the encoder's own words", noWidth, -1, "the page has no printable line", 0},
  };
  for (const auto& c : cases) {
    Collect sink;
    receipt::PageEncoder encoder(Plain(), sink);
    Job job;
    job.cancelAfter = c.cancelAfter;
    std::string why;
    EXPECT_FALSE(PrintPages(c.source, encoder, job, &why)) << c.what;
    EXPECT_EQ(why, c.why) << c.what;
    EXPECT_EQ(job.pagesDone, c.pagesDone) << c.what;
  }
}

}  // namespace
