// The dialogs run zenity as a child process (never through a shell, so no
// path or message is ever parsed as a command) and SDL's message boxes.
#include "platform/dialogs/dialogs.h"

#include <fcntl.h>
#include <poll.h>
#include <SDL2/SDL.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/globals.h"
#include "Files/spawn.h"
#include "platform/frame.h"
#include "platform/window.h"

namespace {

// Runs the program found on PATH with the arguments; its standard output is
// collected into *out. Returns its exit status, or -1 when it could not run.
int run_child(const std::vector<std::string>& args, std::string* out) {
  spawned_child child;
  if (UTL_spawn(args, spawn_search_path | spawn_pipe_stdout, &child) != 0) return -1;
  UTL_read_to_end(child.stdout_fd, out);
  return UTL_wait_child(child.pid);
}

// While a chooser is open our window still takes its events, so the desktop
// never finds it hung. The chooser is modal: none of them reaches the
// program but a close request, and releases, which wait for the frame after
// the chooser so that nothing held before it stays held.
void pump_while_open(std::vector<SDL_Event>* releases) {
  SDL_Event e;
  while (SDL_PollEvent(&e)) {
    if (e.type == SDL_QUIT ||
        (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE))
      close_requested = 1;
    if (e.type == SDL_MOUSEBUTTONUP || e.type == SDL_KEYUP) releases->push_back(e);
  }
}

// run_child for a chooser: with our window up, its events are taken every
// sixtieth of a second until the chooser ends.
int run_chooser(const std::vector<std::string>& args, std::string* out) {
  if (!mnw.main_window) return run_child(args, out);
  spawned_child child;
  if (UTL_spawn(args, spawn_search_path | spawn_pipe_stdout, &child) != 0) return -1;
  std::vector<SDL_Event> releases;
  pollfd p = {child.stdout_fd, POLLIN, 0};
  for (;;) {
    pump_while_open(&releases);
    const int ready = poll(&p, 1, 1000 / 60);
    if (ready < 0 && errno != EINTR) break;
    if (ready <= 0) continue;
    char buf[4096];
    const ssize_t n = read(child.stdout_fd, buf, sizeof buf);
    if (n > 0) {
      out->append(buf, size_t(n));
      continue;
    }
    if (n == 0 || errno != EINTR) break;
  }
  close(child.stdout_fd);
  for (SDL_Event& e : releases) SDL_PushEvent(&e);
  return UTL_wait_child(child.pid);
}

bool is_lead_byte(char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }

// The first `limit` characters of a UTF-8 text. Counting bytes would split a
// character in two, and the box refuses a text that is not valid UTF-8, so
// the message would not show at all.
std::string cut(const std::string& text, size_t limit) {
  std::string s = text;
  size_t chars = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    if (!is_lead_byte(s[i])) continue;
    if (chars++ == limit) {
      s.resize(i);
      break;
    }
  }
  return s;
}

size_t char_count(const std::string& s) {
  size_t n = 0;
  for (char c : s) n += is_lead_byte(c);
  return n;
}

// Greedy: words as they come, a line ends before the word that would pass
// the width; a word wider than a line is broken at the width.
std::string wrap_line(const std::string& line, size_t width) {
  std::string out, current;
  size_t current_chars = 0;
  auto flush = [&] {
    if (!out.empty()) out += '\n';
    out += current;
    current.clear();
    current_chars = 0;
  };
  size_t at = 0;
  while (at <= line.size()) {
    size_t space = line.find(' ', at);
    if (space == std::string::npos) space = line.size();
    std::string word = line.substr(at, space - at);
    at = space + 1;
    if (word.empty()) continue;
    size_t word_chars = char_count(word);
    if (current_chars && current_chars + 1 + word_chars > width) flush();
    while (word_chars > width) {
      const std::string head = cut(word, width);
      current = head;
      flush();
      word.erase(0, head.size());
      word_chars -= width;
    }
    if (current_chars) {
      current += ' ';
      ++current_chars;
    }
    current += word;
    current_chars += word_chars;
  }
  if (current_chars || out.empty()) flush();
  return out;
}

}  // namespace

std::string PLAT_box_text(const std::string& text, size_t limit) {
  const std::string kept = cut(text, limit);
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t end = kept.find('\n', start);
    if (end == std::string::npos) end = kept.size();
    if (start) out += '\n';
    out += wrap_line(kept.substr(start, end - start), kBoxLineChars);
    if (end == kept.size()) break;
    start = end + 1;
  }
  return out;
}

// SDL shows its boxes through zenity, which fails without a display yet
// reads to SDL as a box closed without a choice; so look first. A program
// told to draw off screen gets no box either.
bool PLAT_have_display() {
  const char* driver = getenv("SDL_VIDEODRIVER");
  if (driver && (!strcmp(driver, "offscreen") || !strcmp(driver, "dummy"))) return false;
  const char* x = getenv("DISPLAY");
  const char* wayland = getenv("WAYLAND_DISPLAY");
  return (x && *x) || (wayland && *wayland);
}

int GetFilePathFromUser(int mode, const char* message, const char* button_label,
                        int /*preference_key*/, const char* default_folder,
                        std::string& path_inout) {
  if (mode < 0 || mode > 2) return 0;
  std::vector<std::string> args = {"zenity", "--file-selection"};
  if (mode == 1) args.push_back("--save");
  if (mode == 2) args.push_back("--directory");
  std::string title = message ? message : "";
  if (button_label && *button_label)
    title += title.empty() ? button_label : std::string(" - ") + button_label;
  args.push_back("--title=" + title);
  std::string start;
  if (default_folder && *default_folder) {
    start = default_folder;
    if (start.back() != '/') start += '/';
  }
  if (mode == 1) start += path_inout;
  if (!start.empty()) args.push_back("--filename=" + start);
  // On X the chooser stands over our window and keeps it from input.
  if (const unsigned long window = PLAT_x11_window_id()) {
    args.push_back("--modal");
    args.push_back("--attach=" + std::to_string(window));
  }

  std::string chosen;
  if (run_chooser(args, &chosen) != 0) return 0;
  // zenity ends its answer with one line feed; any other line end, or a
  // second one, belongs to the name chosen.
  if (!chosen.empty() && chosen.back() == '\n') chosen.pop_back();
  if (chosen.empty()) return 0;
  path_inout = chosen;
  return 1;
}

void DoUserAlert(const char* message) {
  std::string text = PLAT_box_text(message ? message : "", 255);
  if (PLAT_have_display() &&
      SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, "Nimbrel", text.c_str(), nullptr) == 0)
    return;
  // No box (no display, or no zenity for SDL to show it with): the message
  // still reaches the log and the terminal.
  fprintf(stderr, "%s\n", text.c_str());
  xer << text << "\n";
  xer.flush();
}

bool ConfirmMessage(const char* message, const char* ok_label, const char* cancel_label) {
  std::string text = PLAT_box_text(message ? message : "", 255);
  std::string ok = cut(ok_label ? ok_label : "", 255),
              cancel = cut(cancel_label ? cancel_label : "", 255);
  const SDL_MessageBoxButtonData buttons[2] = {
      {SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT, 1, ok.c_str()},
      {SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT, 2, cancel.c_str()}};
  SDL_MessageBoxData data = {
      SDL_MESSAGEBOX_WARNING, nullptr, "Nimbrel", text.c_str(), 2, buttons, nullptr};
  int chosen = 0;
  if (!PLAT_have_display() || SDL_ShowMessageBox(&data, &chosen) != 0) return false;
  return chosen == 1;
}

progress_state g_progress;

void progress_state::reset() {
  if (wind) fclose(wind);
  // zenity may keep its window open after its input ends.
  if (zenity > 0 && waitpid(zenity, nullptr, WNOHANG) == 0) {
    kill(zenity, SIGTERM);
    waitpid(zenity, nullptr, 0);
  }
  *this = progress_state();
}

void ShowProgressMessage(const char* text, float* fraction) {
  // The window is made on the first call and stays for the run, as zenity
  // reads its figures from our end of a pipe. When it ends early (the user
  // closed it, or there is no zenity) it is reaped and not started again: a
  // window the user closed should not keep coming back.
  FILE*& wind = g_progress.wind;
  bool& gone = g_progress.gone;
  if (gone) return;
  if (!wind) {
    spawned_child child;
    if (UTL_spawn({"zenity", "--progress", "--title=Nimbrel", "--no-cancel"},
                  spawn_search_path | spawn_pipe_stdin, &child) != 0) {
      gone = true;
      return;
    }
    // A write after zenity ended must fail with EPIPE, not end the program.
    signal(SIGPIPE, SIG_IGN);
    wind = fdopen(child.stdin_fd, "w");
    g_progress.zenity = child.pid;
    if (!wind) {
      close(child.stdin_fd);
      gone = true;
      return;
    }
  }
  int status;
  if (waitpid(g_progress.zenity, &status, WNOHANG) == g_progress.zenity) {
    fclose(wind);
    wind = nullptr;
    g_progress.zenity = 0;
    gone = true;
    return;
  }
  std::string line = text ? text : "";
  for (char& c : line)
    if (c == '\n' || c == '\r') c = ' ';
  fprintf(wind, "# %s\n", line.c_str());
  if (fraction) {
    // Without a figure the bar steps round as a sign of life, short of 100,
    // where zenity would take the work as done.
    int percent = 0;
    if (*fraction >= 0)
      percent = *fraction >= 1.0f ? 100 : static_cast<int>(*fraction * 100.0f);
    else
      percent = (g_progress.nPhase++ * 5) % 100;
    fprintf(wind, "%d\n", percent);
  }
  fflush(wind);
}

void EndianFlipShort(unsigned short* value) {
  *value = static_cast<unsigned short>((*value >> 8) | (*value << 8));
}

unsigned int EndianFlipLong(unsigned int* value) {
  unsigned int v = *value;
  *value = (v >> 24) | ((v >> 8) & 0xFF00u) | ((v << 8) & 0xFF0000u) | (v << 24);
  return *value;
}
