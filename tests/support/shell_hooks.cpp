// The test programs of the shell and the installer run with the platform
// shell's hooks installed, as the program does from its first step: the
// lower layers' alerts, shut-down and colour pulse then behave as they do in
// the real run. The lower layers' programs never link this: they run with
// the ground floor's defaults (tests/support/ground_alert.cpp).
#include <gtest/gtest.h>

#include "platform/folders.h"
#include "platform/shell.h"
#include "tests/support/test_support.h"

namespace {

class ShellHooks : public testing::Environment {
 public:
  void SetUp() override { PLAT_install_hooks(); }
};

// Linked as an object, so the registration runs in every program that has it;
// the run's private temporary folder goes with the test's scratch folders.
testing::Environment* const registered = testing::AddGlobalTestEnvironment(new ShellHooks);
const bool remover = (testing_support::also_remove_with_temp_dirs(PLAT_remove_temp_folder), true);

}  // namespace
