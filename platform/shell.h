// Start-up and orderly shut-down of the program, and the shell's globals that
// the core, file and installer code read.
#pragma once

#include <string>

void MACIBM_init(int argc, const char** argv);
// Idempotent; safe before any window exists. save: write the preferences.
void MACIBM_finishup(int save);
// Writes the folder that holds the executable (ending in "/") into out and
// empties app_path.
void MACIBM_set_app_path(std::string& out);

extern int app_done;
extern int g_case_sensitive;
extern float randrat[10000];
