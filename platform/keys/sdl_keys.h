// SDL's key and text events turned into key messages for the key bindings.
#pragma once

union SDL_Event;

// Takes a key-down, key-up or text event (returns true); any other event
// first completes a key-down still waiting for its text (returns false).
bool PLAT_key_event(const SDL_Event& e);
// The end of the frame's events: a key-down still waiting goes without text.
void PLAT_key_flush();
// Back to start-up: no key-down waiting for its text, no text to swallow,
// no key remembered as down.
void PLAT_key_reset();
