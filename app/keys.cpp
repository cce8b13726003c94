// What each key and the mouse do to the playback.
#include "app/keys.h"

#include "app/window.h"
#include "base/base.h"

// The seek a key asks for, or -1.
static int seek_kind(SDLKey key)
{
    switch (key) {
    case SDLK_LEFT: return SEEK_BACK;
    case SDLK_RIGHT: return SEEK_FORWARD;
    case SDLK_DOWN: return SEEK_BACK_LONG;
    case SDLK_UP: return SEEK_FORWARD_LONG;
    case SDLK_PAGEUP: return SEEK_PREVIOUS_SCENE;
    case SDLK_PAGEDOWN: return SEEK_NEXT_SCENE;
    case SDLK_HOME: return SEEK_HOME;
    default: return -1;
    }
}

static void cursor_show(Cursor* cursor, bool shown)
{
    if (shown != cursor->shown) window_show_cursor(shown);
    cursor->shown = shown;
}

static void key_down(const SDL_keysym& key, Playback* p, Cursor* cursor)
{
    const bool alt = (key.mod & KMOD_ALT) != 0;
    const int seek = seek_kind(key.sym);
    if (key.sym == SDLK_ESCAPE) {
        p->stop = true;
    } else if (key.sym == SDLK_SPACE) {
        playback_pause(p, !p->paused);
        // The line says so at once.
        p->redraw = p->paused;
    } else if (seek >= 0) {
        // From where the clock is: a seek that has not shown its frame yet
        // counts, so keys pressed in a row add up.
        playback_seek(p, seek_target(seek, demo_clock_seconds(&p->clock)));
    } else if (key.sym == SDLK_s && !alt) {
        p->screenshot = true;
        p->redraw = p->paused;
    } else if (key.sym == SDLK_f || (key.sym == SDLK_RETURN && alt)) {
        window_toggle_full_screen();
        cursor_show(cursor, false);
        p->redraw = p->paused;
    }
}

bool keys_handle(const SDL_Event& event, Playback* p, Cursor* cursor)
{
    switch (event.type) {
    case SDL_QUIT:
        p->stop = true;
        return true;
    case SDL_KEYDOWN:
        key_down(event.key.keysym, p, cursor);
        return true;
    default:
        return false;
    }
}

void cursor_update(Cursor* cursor)
{
    int x = 0, y = 0;
    SDL_GetMouseState(&x, &y);
    const bool moved = cursor->x >= 0 && (x != cursor->x || y != cursor->y);
    cursor->x = x;
    cursor->y = y;
    if (moved) {
        cursor->moved = clock_seconds();
        cursor_show(cursor, !window_is_full_screen());
    } else if (cursor->shown && clock_seconds() - cursor->moved >= CURSOR_HIDE_SECONDS) {
        cursor_show(cursor, false);
    }
}
