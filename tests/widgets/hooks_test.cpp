// The widgets' hooks before the shell fills them (this program links no
// shell): the modal browser has no window to run in, so it gives up at once,
// as it did with no hook at all.
#include "widgets/hooks.h"

#include <gtest/gtest.h>

#include <string>

#include "core/globals.h"
#include "widgets/opensave.h"

namespace {

TEST(WidgetHooksWithoutTheShell, TheBrowserReturnsAtOnceLeavingThePathAndTheWindow) {
  for (int window : {int(wind_browse_a), int(wind_browse_b)}) {
    mnw = mnw_block();
    mnw.cur_window = wind_main;
    std::string path = "/nowhere/at/all.acf";
    EXPECT_EQ(BTN_opensave(window, file_aircraft, &path), 0) << window;
    EXPECT_EQ(path, "/nowhere/at/all.acf") << window;
    EXPECT_EQ(mnw.cur_window, wind_main) << window;
  }
  mnw = mnw_block();
}

}  // namespace
