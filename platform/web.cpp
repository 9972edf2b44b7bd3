// Opening web pages through xdg-open, without a shell and without waiting for
// the browser.
#include "platform/web.h"

#include "core/globals.h"
#include "Files/spawn.h"

int go_to_URL(const std::string& url) {
  // No length limit: the address goes to xdg-open as one argument, never through a fixed
  // buffer, so a long one is no reason to end the program.
  // setsid --fork starts the opener in a session of its own and returns at
  // once: we reap setsid, and the opener is never our child to wait for.
  spawned_child child;
  int err = UTL_spawn({"setsid", "--fork", "xdg-open", url}, spawn_search_path, &child);
  if (err) {
    xer << "Could not open the web page " << url << ": errno " << err << "\n";
    return err;
  }
  UTL_wait_child(child.pid);
  return 0;
}
