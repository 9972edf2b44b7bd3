// What the platform shell calls of the installer, through the hooks the
// installer registers.
#pragma once

#include <poll.h>

// The installer's frame function: once per frame while no modal window is current.
void APP_update();
// The install's sockets and finished unpackings, which end the frame's wait
// for events while the install runs in the frame (no modal window up).
int APP_ready_fds(pollfd* fds, int room);
// What QUIT does, and so every other way the program ends while it runs:
// the reading stopped, the streams reset (their temporary archives gone),
// the install ended, the frame loop told to end.
void APP_quit();
// What INSTALL starts: the terms window, then the file decisions (with their
// questions), then the folders, then the install; declining the terms or
// cancelling a question leaves the disk as it was and the install idle.
void APP_start_install();
// Called when an item of a bar menu is picked; the installer has none.
void APP_handlemenu(int item);
// Registers the frame function, the menu handler, the install's descriptors,
// its stop (so that a shut-down of any kind, a fatal alert's included, ends
// the install before the threads) and the built-in images (as the start-up
// images) with the platform shell,
// and the question window with the file decisions; the entry point calls it
// before MACIBM_init.
void APP_register_hooks();
