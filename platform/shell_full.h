// Transitional: the windowed shell under other names while the window-less
// start-up and alert still stand beside it in this folder.
#pragma once
#define MACIBM_init SHELL_full_init
#define MACIBM_finishup SHELL_full_finishup
#define MACIBM_set_app_path SHELL_full_set_app_path
#define __MACIBM_alert SHELL_full_alert
