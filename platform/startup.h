// Start-up pieces beside MACIBM_init and MACIBM_finishup (platform/shell.h).
#pragma once

// 1 once the window, its context and the built-in images stand; alerts use
// the OpenGL window only from then on.
extern int ogl_inited;

// 1 at start-up applies the requested size; 0 at shut-down restores the
// screen as found. Depth switches are logged, never made.
void MACIBM_setres(int on);
// One start-up screen with the text and a progress bar (fraction may be null).
void MACIBM_show_init(const char* text, float* fraction);
void MACIBM_setupforlang();
// Sets the interface colours 34 to 47 from the swatches of the widget atlas
// that is still staged in scratch_array after recall_ins_texes.
void MACIBM_take_interface_colours();
void IBM_turnoff();
