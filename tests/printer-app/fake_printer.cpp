// fake-printer: a network ESC/POS receipt printer for the tests, on a
// loopback port. It takes one connection at a time, as such printers do,
// reads the stream command by command (raster records by their sizes) and
// answers status requests as the ESC/POS reference lays them out:
//   DLE EOT 1/2/3/4 (10 04 n): at once, with the paper and cover as set;
//   GS r 1/2 (1D 72 n): only once everything before it has been taken in,
//   and not while the paper is out or the cover open.
// What it prints is kept per job: a job starts at a status request that
// follows data and ends at the GS r that follows it; each job's data, with
// the status requests taken out, goes to DIR/job-N.bin, and each
// connection's raw bytes to DIR/conn-N.bin. DIR/events says what happened,
// one line each ("connect 1", "ask 4", "job 1 57812", "drop 1 20000",
// "close 1 57830").
//
// It is steered by DIR/control, read again every 50 ms, one setting a line:
//   up=0|1          listen or refuse connections (default 1)
//   paper=ok|near|end, cover=closed|open (defaults ok, closed)
//   answer=0|1      answer status requests at all (default 1)
//   rate=N          take in at most N bytes a second, with a small receive
//                   buffer (0: as fast as it comes; default 0)
//   drop=N          close the next connection after N of its bytes (once)
//   fake-printer PORT DIR
//   fake-printer pty:LINK DIR
// The second form is a serial printer: the printer is the far side of a
// pseudo-terminal, whose port LINK is made to point to (up= and drop= do
// not apply; a line has no connections).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Settings {
  bool up = true, answer = true;
  std::string paper = "ok", cover = "closed";
  long rate = 0;
  long drop = 0;
  std::string dropStamp;  // the drop= line last acted on
};

// The settings the control file holds now; what it leaves out is the
// default again.
Settings Read(const std::string& path, const Settings& previous) {
  Settings s;
  s.dropStamp = previous.dropStamp;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    const size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "up") s.up = value != "0";
    if (key == "answer") s.answer = value != "0";
    if (key == "paper") s.paper = value;
    if (key == "cover") s.cover = value;
    if (key == "rate") s.rate = atol(value.c_str());
    if (key == "drop" && line != s.dropStamp) {
      s.drop = atol(value.c_str());
      s.dropStamp = line;
    }
  }
  return s;
}

class Printer {
 public:
  explicit Printer(std::string dir) : dir_(std::move(dir)) {}

  void Event(const std::string& text) {
    FILE* f = fopen((dir_ + "/events").c_str(), "a");
    if (f) {
      fprintf(f, "%s\n", text.c_str());
      fclose(f);
    }
  }

  // Takes in bytes of the connection; answers go to `reply`.
  void Take(const uint8_t* data, size_t size, const Settings& s, std::vector<uint8_t>* reply) {
    for (size_t i = 0; i < size; ++i) Byte(data[i], s, reply);
  }

  // Answers held while the printer could not print.
  void Release(const Settings& s, std::vector<uint8_t>* reply) {
    if (held_ && Printing(s)) {
      reply->push_back(DoneByte(s));
      held_ = false;
    }
  }

  void EndConnection() {
    EndJob();
    command_.clear();
    skip_ = 0;
  }

 private:
  static bool Printing(const Settings& s) { return s.paper != "end" && s.cover != "open"; }

  static uint8_t RealTimeByte(int n, const Settings& s) {
    const bool end = s.paper == "end", near = s.paper == "near", open = s.cover == "open";
    switch (n) {
      case 1: return 0x12 | ((end || open) ? 0x08 : 0);              // bit 3: offline
      case 2: return 0x12 | (open ? 0x04 : 0) | (end ? 0x20 : 0);    // cover open, stopped by paper end
      case 4: return 0x12 | (near ? 0x0C : 0) | (end ? 0x60 : 0);    // near-end, roll-end sensors
      default: return 0x12;
    }
  }
  static uint8_t DoneByte(const Settings& s) {
    return (s.paper == "near" ? 0x03 : 0) | (s.paper == "end" ? 0x0C : 0);
  }

  void Byte(uint8_t b, const Settings& s, std::vector<uint8_t>* reply) {
    if (skip_ > 0) {  // raster data
      job_.push_back(b);
      --skip_;
      return;
    }
    command_.push_back(b);
    const std::vector<uint8_t>& c = command_;
    auto done = [&](bool data) {
      if (data) job_.insert(job_.end(), c.begin(), c.end());
      command_.clear();
    };
    if (c[0] == 0x10) {  // DLE EOT n: real-time status
      if (c.size() < 3) return;
      if (c[1] == 0x04) {
        if (!inJob_ && !job_.empty()) EndJob();
        inJob_ = true;
        Event("ask " + std::to_string(c[2]));
        if (s.answer) reply->push_back(RealTimeByte(c[2], s));
        done(false);
      } else {
        done(true);
      }
      return;
    }
    if (c[0] == 0x1D) {
      if (c.size() < 2) return;
      if (c[1] == 0x72) {  // GS r n
        if (c.size() < 3) return;
        if (s.answer) {
          if (Printing(s))
            reply->push_back(c[2] == 1 ? DoneByte(s) : 0x00);
          else
            held_ = true;
        }
        done(false);
        EndJob();
        return;
      }
      if (c[1] == 0x76) {  // GS v 0 m xL xH yL yH
        if (c.size() < 8) return;
        skip_ = static_cast<size_t>(c[4] | c[5] << 8) * static_cast<size_t>(c[6] | c[7] << 8);
        done(true);
        return;
      }
      if (c[1] == 0x56) {  // GS V m [n]
        if (c.size() < 3) return;
        if ((c[2] == 65 || c[2] == 66) && c.size() < 4) return;
        done(true);
        return;
      }
      done(true);
      return;
    }
    if (c[0] == 0x1B) {
      if (c.size() < 2) return;
      const size_t want = c[1] == 0x40 ? 2 : c[1] == 0x70 ? 5 : 3;  // ESC @, ESC p m t1 t2, ESC J/d n
      if (c.size() < want) return;
      done(true);
      return;
    }
    done(true);
  }

  void EndJob() {
    if (!job_.empty()) {
      ++jobs_;
      const std::string path = dir_ + "/job-" + std::to_string(jobs_) + ".bin";
      if (FILE* f = fopen(path.c_str(), "wb")) {
        fwrite(job_.data(), 1, job_.size(), f);
        fclose(f);
      }
      Event("job " + std::to_string(jobs_) + " " + std::to_string(job_.size()));
    }
    job_.clear();
    inJob_ = false;
  }

  std::string dir_;
  std::vector<uint8_t> command_, job_;
  size_t skip_ = 0;
  bool inJob_ = false, held_ = false;
  int jobs_ = 0;
};

int Listen(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM, 0);
  const int one = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || listen(fd, 4) != 0) {
    perror("fake-printer: listen");
    exit(1);
  }
  return fd;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: fake-printer PORT DIR\n       fake-printer pty:LINK DIR\n");
    return 2;
  }
  const bool line = strncmp(argv[1], "pty:", 4) == 0;
  const int port = line ? 0 : atoi(argv[1]);
  const std::string dir = argv[2], control = dir + "/control";
  Printer printer(dir);
  Settings s = Read(control, Settings());
  int listener = -1, conn = -1, connections = 0;
  long taken = 0, dropAt = 0;
  FILE* raw = nullptr;
  Clock::time_point windowStart = Clock::now();
  long windowBytes = 0;
  auto lastRead = Clock::now() - std::chrono::seconds(1);

  auto closeConn = [&](const char* why) {
    printer.EndConnection();
    close(conn);
    conn = -1;
    if (raw) fclose(raw);
    raw = nullptr;
    printer.Event(std::string(why) + " " + std::to_string(connections) + " " + std::to_string(taken));
  };

  if (line) {
    // The printer's side of the line, open for as long as it runs.
    conn = posix_openpt(O_RDWR | O_NOCTTY);
    if (conn < 0 || grantpt(conn) != 0 || unlockpt(conn) != 0) {
      perror("fake-printer: pty");
      return 1;
    }
    const std::string link = argv[1] + 4;
    unlink(link.c_str());
    if (symlink(ptsname(conn), link.c_str()) != 0) {
      perror("fake-printer: link");
      return 1;
    }
    connections = 1;
    raw = fopen((dir + "/conn-1.bin").c_str(), "wb");
    printer.Event("connect 1");
  }

  for (;;) {
    if (Clock::now() - lastRead > std::chrono::milliseconds(50)) {
      const long before = s.drop;
      s = Read(control, s);
      if (s.drop != before && s.drop > 0) dropAt = s.drop;
      lastRead = Clock::now();
    }
    if (s.up && listener < 0 && !line) listener = Listen(port);
    if (!s.up && listener >= 0) {
      close(listener);
      listener = -1;
      if (conn >= 0) closeConn("down");
    }
    if (conn < 0 && listener >= 0) {
      pollfd p{listener, POLLIN, 0};
      if (poll(&p, 1, 20) == 1) {
        conn = accept(listener, nullptr, nullptr);
        if (conn >= 0) {
          ++connections;
          taken = 0;
          if (s.rate > 0) {
            const int small = 4096;
            setsockopt(conn, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
          }
          raw = fopen((dir + "/conn-" + std::to_string(connections) + ".bin").c_str(), "wb");
          printer.Event("connect " + std::to_string(connections));
        }
      }
      continue;
    }
    if (conn < 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
      continue;
    }
    std::vector<uint8_t> reply;
    printer.Release(s, &reply);
    // At most `rate` bytes a second, in 20 ms steps.
    size_t room = 65536;
    if (s.rate > 0) {
      if (Clock::now() - windowStart > std::chrono::seconds(1)) {
        windowStart = Clock::now();
        windowBytes = 0;
      }
      room = windowBytes >= s.rate ? 0 : static_cast<size_t>(std::min<long>(s.rate - windowBytes, 1024));
    }
    if (dropAt > 0) room = std::min<size_t>(room, static_cast<size_t>(dropAt - taken));
    pollfd p{conn, POLLIN, 0};
    if (room > 0 && poll(&p, 1, 20) == 1) {
      uint8_t buffer[65536];
      const ssize_t n = read(conn, buffer, room);
      if (n <= 0 && line) {
        // Nobody has the port open: the line is idle, not gone.
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        continue;
      }
      if (n <= 0) {
        closeConn("close");
        continue;
      }
      if (raw) {
        fwrite(buffer, 1, static_cast<size_t>(n), raw);
        fflush(raw);
      }
      taken += n;
      windowBytes += n;
      printer.Take(buffer, static_cast<size_t>(n), s, &reply);
      if (dropAt > 0 && taken >= dropAt) {
        dropAt = 0;
        closeConn("drop");
        continue;
      }
    } else if (room == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    if (!reply.empty() && write(conn, reply.data(), reply.size()) < 0 && !line) closeConn("close");
  }
}
