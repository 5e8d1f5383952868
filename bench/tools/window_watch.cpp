// window_watch: starts a program under an X server and reports, with millisecond times counted
// from just before the program was started, every top-level window it maps and when it exits.
// Commands read from standard input act on its windows, so a script can play the operator:
//
//   window_watch PROGRAM [ARGS...]
//   out:  start <epoch-ms> <pid>
//         map <ms> <window-id> <title>
//         exit <ms> <status>
//   in:   close <window-id>     send the window manager's close request (WM_DELETE_WINDOW)
//         time                  answer "time <ms>", the watcher's clock now
//
// It exists because nothing in the standard tools tells, to the millisecond, when a window of
// another program appeared.
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
Clock::time_point started;

long long sinceStart() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - started).count();
}

std::string titleOf(Display* display, Window window) {
  Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
  Atom type = None;
  int format = 0;
  unsigned long count = 0;
  unsigned long after = 0;
  unsigned char* data = nullptr;
  std::string title;
  if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count,
                         &after, &data) == Success &&
      data) {
    title.assign(reinterpret_cast<char*>(data), count);
    XFree(data);
  }
  if (title.empty()) {
    char* name = nullptr;
    if (XFetchName(display, window, &name) && name) {
      title = name;
      XFree(name);
    }
  }
  return title;
}

// Under a window manager the window mapped on the root is the manager's frame: the program's own
// window, with its title, is inside it. None: a window of the manager's own.
Window clientOf(Display* display, Window window, int depth = 0) {
  if (!titleOf(display, window).empty()) return window;
  if (depth == 3) return None;
  Window root = None;
  Window parent = None;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, window, &root, &parent, &children, &count)) return None;
  Window client = None;
  for (unsigned int i = 0; i < count && client == None; ++i) {
    client = clientOf(display, children[i], depth + 1);
  }
  if (children) XFree(children);
  return client;
}

void sendClose(Display* display, Window window) {
  XEvent event{};
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False));
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(display, window, False, NoEventMask, &event);
  XFlush(display);
}

void handleCommand(Display* display, const std::string& line) {
  char verb[16] = {};
  unsigned long id = 0;
  if (std::sscanf(line.c_str(), "%15s %lx", verb, &id) >= 1) {
    if (std::strcmp(verb, "close") == 0 && id != 0) {
      sendClose(display, static_cast<Window>(id));
    } else if (std::strcmp(verb, "time") == 0) {
      std::printf("time %lld\n", sinceStart());
      std::fflush(stdout);
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s PROGRAM [ARGS...]\n", argv[0]);
    return 2;
  }
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    std::fprintf(stderr, "window_watch: cannot open the display\n");
    return 2;
  }
  const Window root = DefaultRootWindow(display);
  XSelectInput(display, root, SubstructureNotifyMask);
  XSync(display, False);

  started = Clock::now();
  const long long epochMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                std::chrono::system_clock::now().time_since_epoch())
                                .count();
  const pid_t child = fork();
  if (child == 0) {
    close(ConnectionNumber(display));
    execvp(argv[1], argv + 1);
    std::perror("window_watch: exec");
    _exit(127);
  }
  std::printf("start %lld %d\n", epochMs, static_cast<int>(child));
  std::fflush(stdout);

  std::string input;
  bool inputOpen = true;
  for (;;) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MapNotify && !event.xmap.override_redirect && event.xmap.event == root) {
        const Window window = clientOf(display, event.xmap.window);
        if (window == None) continue;
        std::printf("map %lld 0x%lx %s\n", sinceStart(), window, titleOf(display, window).c_str());
        std::fflush(stdout);
      }
    }
    int status = 0;
    if (waitpid(child, &status, WNOHANG) == child) {
      std::printf("exit %lld %d\n", sinceStart(),
                  WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
      std::fflush(stdout);
      XCloseDisplay(display);
      return 0;
    }
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    poll(fds, inputOpen ? 2 : 1, 5);
    if (inputOpen && (fds[1].revents & (POLLIN | POLLHUP))) {
      char buffer[256];
      const ssize_t n = read(STDIN_FILENO, buffer, sizeof buffer);
      if (n <= 0) {
        inputOpen = false;
      } else {
        input.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = input.find('\n')) != std::string::npos;) {
          handleCommand(display, input.substr(0, end));
          input.erase(0, end + 1);
        }
      }
    }
  }
}
