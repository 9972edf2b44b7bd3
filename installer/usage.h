// What each program prints for "--help" and "-h": the entry point registers
// its own usage with the command line before the shell reads it.
#pragma once

#include <string>

// The installer's usage.
extern const char kInstallerUsage[];

// The builder's usage: what it does, its options and the environment it
// reads, ending with what this build would do now: its install type and
// the locations in force (taken after the environment was read).
std::string builder_usage(int install_type);
