// The folder of job pictures: a job's bytes become its picture and go, the
// newest pictures stay within the count and the bytes, a server's leftover
// captures go, and the folder and pictures are the server's own.
#include <gtest/gtest.h>

#include <stb_image.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "job_pictures.h"

using receipt::JobPictures;

namespace {

std::string Folder() {
  char name[] = "/tmp/lorvex-pictures-XXXXXX";
  const char* made = mkdtemp(name);
  EXPECT_NE(made, nullptr);
  return std::string(made) + "/pictures";
}

bool Exists(const std::string& path) { return access(path.c_str(), F_OK) == 0; }

// Prints `text` as a job: a line of text, then a cut.
bool PrintJob(JobPictures& pictures, int printer, int job, const std::string& text, std::string* why = nullptr) {
  auto capture = pictures.Start(printer, job);
  if (!capture) return false;
  const std::string bytes = "\x1b@" + text + "\n\x1dV\x42" + std::string(1, '\0');
  capture->Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return pictures.Finish(std::move(capture), {}, why);
}

}  // namespace

TEST(JobPictures, AJobsBytesBecomeItsPicture) {
  const std::string folder = Folder();
  JobPictures pictures(folder);
  ASSERT_TRUE(PrintJob(pictures, 1, 7, "Espresso 2.50"));
  EXPECT_TRUE(pictures.Has(1, 7));
  EXPECT_FALSE(Exists(folder + "/p1-j7.bytes"));
  int w = 0, h = 0, n = 0;
  unsigned char* png = stbi_load(pictures.PathOf(1, 7).c_str(), &w, &h, &n, 3);
  ASSERT_NE(png, nullptr);
  EXPECT_EQ(w, 576);
  EXPECT_EQ(h, 30);  // one line of text, the cut at its foot
  int black = 0, red = 0;
  for (int i = 0; i < w * h; ++i) {
    black += png[3 * i] == 0 && png[3 * i + 1] == 0 && png[3 * i + 2] == 0;
    red += png[3 * i] == 220 && png[3 * i + 1] == 0;
  }
  stbi_image_free(png);
  EXPECT_GT(black, 100);
  EXPECT_EQ(red, 2 * 288);  // the dashed cut across the last two rows
  struct stat info;
  ASSERT_EQ(stat(folder.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  ASSERT_EQ(stat(pictures.PathOf(1, 7).c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);

  // A document the grammar refuses makes no picture, and its capture goes.
  std::string why;
  auto capture = pictures.Start(1, 8);
  ASSERT_TRUE(capture);
  capture->Write(reinterpret_cast<const uint8_t*>("\x1d" "a"), 2);
  EXPECT_FALSE(pictures.Finish(std::move(capture), {}, &why));
  EXPECT_NE(why.find("not one this printer takes"), std::string::npos) << why;
  EXPECT_FALSE(pictures.Has(1, 8));
  EXPECT_FALSE(Exists(folder + "/p1-j8.bytes"));
}

TEST(JobPictures, TheNewestStayWithinTheCountAndTheBytes) {
  const std::string folder = Folder();
  {
    JobPictures pictures(folder, /*keep=*/3);
    for (int job = 1; job <= 5; ++job) ASSERT_TRUE(PrintJob(pictures, 2, job, "job " + std::to_string(job)));
    for (int job = 1; job <= 5; ++job) EXPECT_EQ(pictures.Has(2, job), job >= 3) << job;
  }
  // Room for the two newest only.
  auto size = [&](int job) {
    struct stat info;
    EXPECT_EQ(stat((folder + "/p2-j" + std::to_string(job) + ".png").c_str(), &info), 0);
    return static_cast<uint64_t>(info.st_size);
  };
  JobPictures pictures(folder, 50, size(5) + size(4) + size(3) - 1);
  pictures.Prune();
  EXPECT_TRUE(pictures.Has(2, 5));
  EXPECT_TRUE(pictures.Has(2, 4));
  EXPECT_FALSE(pictures.Has(2, 3));

  // One printer's pictures go with it; the other's stay.
  ASSERT_TRUE(PrintJob(pictures, 3, 1, "other"));
  pictures.Remove(2);
  EXPECT_FALSE(pictures.Has(2, 5));
  EXPECT_TRUE(pictures.Has(3, 1));
}

TEST(JobPictures, CapturesAServerLeftAreRemoved) {
  const std::string folder = Folder();
  { JobPictures pictures(folder); }
  FILE* left = std::fopen((folder + "/p1-j3.bytes").c_str(), "wb");
  ASSERT_NE(left, nullptr);
  std::fclose(left);
  FILE* other = std::fopen((folder + "/notes.txt").c_str(), "wb");
  ASSERT_NE(other, nullptr);
  std::fclose(other);
  JobPictures pictures(folder);
  EXPECT_FALSE(Exists(folder + "/p1-j3.bytes"));
  EXPECT_TRUE(Exists(folder + "/notes.txt"));  // not ours to remove
}
