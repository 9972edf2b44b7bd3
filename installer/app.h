// What the platform shell calls of the installer, through the hooks the
// installer registers.
#pragma once

// The installer's frame function: once per frame while no modal window is current.
void APP_update();
// Called when an item of a bar menu is picked; the installer has none.
void APP_handlemenu(int item);
// Registers the three with the platform shell (and the built-in images as its
// start-up images); the entry point calls it before MACIBM_init.
void APP_register_hooks();
