// job_pictures.cpp: the folder of job pictures.
#include "job_pictures.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "receipt_picture.h"

namespace receipt {

namespace {

// "p<printer>-j<job>.<suffix>": the numbers, or false for any other name.
bool ParseName(const std::string& name, const char* suffix, int* printer, int* job) {
  int p = 0, j = 0, used = 0;
  if (std::sscanf(name.c_str(), "p%d-j%d.%n", &p, &j, &used) != 2 || used == 0) return false;
  if (name.substr(static_cast<size_t>(used)) != suffix || p <= 0 || j <= 0) return false;
  *printer = p;
  *job = j;
  return true;
}

struct Picture {
  std::string path;
  time_t modified;
  uint64_t size;
  int printer, job;
};

std::vector<Picture> Pictures(const std::string& folder, const char* suffix) {
  std::vector<Picture> list;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) return list;
  while (const dirent* entry = readdir(dir)) {
    Picture p{folder + "/" + entry->d_name, 0, 0, 0, 0};
    struct stat info;
    if (!ParseName(entry->d_name, suffix, &p.printer, &p.job) || stat(p.path.c_str(), &info) != 0) continue;
    p.modified = info.st_mtime;
    p.size = static_cast<uint64_t>(info.st_size);
    list.push_back(p);
  }
  closedir(dir);
  return list;
}

}  // namespace

JobPictures::JobPictures(std::string folder, size_t keep, uint64_t keepBytes)
    : folder_(std::move(folder)), keep_(keep), keepBytes_(keepBytes) {
  mkdir(folder_.c_str(), 0700);
  chmod(folder_.c_str(), 0700);
  for (const Picture& p : Pictures(folder_, "bytes")) unlink(p.path.c_str());
}

JobPictures::Capture::~Capture() {
  if (file_) std::fclose(file_);
  if (!path_.empty()) unlink(path_.c_str());
}

bool JobPictures::Capture::Write(const uint8_t* data, size_t size) {
  if (ok_ && size > 0) ok_ = file_ != nullptr && std::fwrite(data, 1, size, file_) == size;
  return ok_;
}

std::string JobPictures::PathOf(int printer, int job) const {
  return folder_ + "/p" + std::to_string(printer) + "-j" + std::to_string(job) + ".png";
}

bool JobPictures::Has(int printer, int job) const { return access(PathOf(printer, job).c_str(), R_OK) == 0; }

std::unique_ptr<JobPictures::Capture> JobPictures::Start(int printer, int job) {
  auto capture = std::unique_ptr<Capture>(new Capture());
  capture->printer_ = printer;
  capture->job_ = job;
  capture->path_ = folder_ + "/p" + std::to_string(printer) + "-j" + std::to_string(job) + ".bytes";
  capture->file_ = std::fopen(capture->path_.c_str(), "wb");
  if (capture->file_ == nullptr) {
    capture->path_.clear();
    return nullptr;
  }
  return capture;
}

bool JobPictures::Finish(std::unique_ptr<Capture> capture, const receipt_render::RenderOptions& options,
                         std::string* why) {
  if (!capture) return false;
  const bool written = capture->ok_ && std::fflush(capture->file_) == 0;
  std::vector<uint8_t> bytes;
  if (written) {
    uint8_t chunk[65536];
    size_t n;
    FILE* in = std::fopen(capture->path_.c_str(), "rb");
    while (in != nullptr && (n = std::fread(chunk, 1, sizeof chunk, in)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    if (in) std::fclose(in);
  }
  const int printer = capture->printer_, job = capture->job_;
  capture.reset();  // the capture goes, whatever comes of the picture
  if (!written) {
    if (why) *why = "the job's bytes could not be kept for its picture";
    return false;
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (!receipt_render::WritePicture(bytes.data(), bytes.size(), options, glyphs_, PathOf(printer, job), why))
    return false;
  chmod(PathOf(printer, job).c_str(), 0600);
  PruneLocked();
  return true;
}

void JobPictures::Remove(int printer, int job) {
  if (job > 0) {
    unlink(PathOf(printer, job).c_str());
    return;
  }
  for (const Picture& p : Pictures(folder_, "png"))
    if (p.printer == printer) unlink(p.path.c_str());
}

void JobPictures::Prune() {
  std::lock_guard<std::mutex> lock(mutex_);
  PruneLocked();
}

void JobPictures::PruneLocked() {
  std::vector<Picture> list = Pictures(folder_, "png");
  // Newest first: by time, then by job number.
  std::sort(list.begin(), list.end(), [](const Picture& a, const Picture& b) {
    return a.modified != b.modified ? a.modified > b.modified : a.job > b.job;
  });
  uint64_t total = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    total += list[i].size;
    if (i >= keep_ || total > keepBytes_) unlink(list[i].path.c_str());
  }
}

}  // namespace receipt
