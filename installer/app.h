// What the platform shell calls of the installer.
#pragma once

// The installer's frame function: once per frame while no modal window is current.
void APP_update();
// Called when an item of a bar menu is picked; the installer has none.
void APP_handlemenu(int item);
