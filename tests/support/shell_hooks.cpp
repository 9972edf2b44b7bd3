// Every test program runs with the platform shell's hooks installed, as the
// program does from its first step: the lower layers' alerts, shut-down and
// colour pulse then behave as they do in the real run.
#include <gtest/gtest.h>

#include "platform/shell.h"

namespace {

class ShellHooks : public testing::Environment {
 public:
  void SetUp() override { PLAT_install_hooks(); }
};

// Linked as an object, so the registration runs in every test program.
testing::Environment* const registered = testing::AddGlobalTestEnvironment(new ShellHooks);

}  // namespace
