// Watches a folder and tries to read every file made in it, the moment it appears: run as
// another user, it shows whether a save ever lets that user read a list it must not.
//   peek_new_files FOLDER PREFIX
// Stops on SIGTERM or SIGINT and prints how many files it saw and how many it could read.
#include <fcntl.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

volatile std::sig_atomic_t stop = 0;

extern "C" void OnStop(int) { stop = 1; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: peek_new_files FOLDER PREFIX\n");
    return 2;
  }
  const std::string folder = argv[1];
  const std::string prefix = argv[2];
  struct sigaction on {};
  on.sa_handler = OnStop;
  sigemptyset(&on.sa_mask);
  sigaction(SIGTERM, &on, nullptr);
  sigaction(SIGINT, &on, nullptr);
  const int fd = inotify_init1(IN_CLOEXEC);
  if (fd < 0 || inotify_add_watch(fd, folder.c_str(), IN_CREATE) < 0) {
    std::perror("inotify");
    return 2;
  }
  // Told on standard output so that the saves start only once the watch is in place.
  std::printf("watching\n");
  std::fflush(stdout);
  long seen = 0;
  long readable = 0;
  alignas(inotify_event) char buf[65536];
  while (!stop) {
    const ssize_t n = read(fd, buf, sizeof buf);
    if (n <= 0) continue;  // interrupted by the stop signal
    for (char* p = buf; p < buf + n;) {
      const auto* ev = reinterpret_cast<const inotify_event*>(p);
      p += sizeof(inotify_event) + ev->len;
      if (ev->len == 0 || std::strncmp(ev->name, prefix.c_str(), prefix.size()) != 0) continue;
      ++seen;
      const int f = open((folder + "/" + ev->name).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
      if (f >= 0) {
        ++readable;
        close(f);
      }
    }
  }
  std::printf("seen %ld readable %ld\n", seen, readable);
  return 0;
}
