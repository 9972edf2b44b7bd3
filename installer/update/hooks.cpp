// The install engine's hooks and their harmless defaults.
#include "installer/update/hooks.h"

#include "core/globals.h"

engine_hooks g_engine_hooks;

void engine_hooks_reset() { g_engine_hooks = engine_hooks(); }

void no_dir_progress(float /*lo*/, float /*value*/, float /*hi*/, int /*stage*/,
                     const std::string& /*title*/, const std::string& /*detail*/) {}

select_answer keep_unasked(const std::string& local_path, int /*deleting*/) {
  xer << "No one to ask about " << local_path << ": the file is kept.\n";
  return answer_keep;
}
