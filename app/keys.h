// The window's keys and mouse: Escape or a close request end the show,
// Space pauses, the arrows, Page Up/Down and Home seek, S saves the frame,
// F or Alt+Enter switch full screen; the pointer hides when still.
#pragma once

#include "app/playback.h"

#include <SDL/SDL.h>

// The pointer in a window shows while the mouse moves and hides after this
// long still; in full screen it never shows.
const double CURSOR_HIDE_SECONDS = 2.0;

struct Cursor {
    bool shown;
    double moved; // monotonic seconds of the last motion
    int x, y;     // where the pointer was last seen; -1 before
};

// Handles one event. Returns true when it was a key or a close request,
// which skips this pass's frame.
bool keys_handle(const SDL_Event& event, Playback* p, Cursor* cursor);
// Reads where the pointer is: shows it when it moved (in a window), hides
// it once it has been still long enough.
void cursor_update(Cursor* cursor);
