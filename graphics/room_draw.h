#pragma once
// Drawing the running room: views that follow an instance, the mouse mappings of the views,
// the background colour, backgrounds and foregrounds, and the depth-ordered merge of tiles,
// instances (their draw events or their sprites) and particle systems, the cursor sprite and
// the window caption. Without a drawing device only what the game can observe still happens:
// views follow, lists are sorted, draw events run and the caption is set.

#include <cstdint>
#include <span>
#include <string>

#include "script/builtin_routine.h"

namespace kestrin {

class CRoom;
struct CView;

// A rectangle of the room, edges inclusive as the tile test reads them.
struct RoomRect {
    double left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const RoomRect&) const = default;
};

// Particle systems that draw themselves, as the merge needs them. Unset: there are none.
struct RoomParticleSource {
    // The largest depth of an automatically drawn system strictly below `below`; a value at or
    // under -1e8 when there is none.
    double (*depth_below)(double below) = nullptr;
    // Draws, in system order, every automatically drawn system within 0.01 of `depth`.
    void (*draw_at)(double depth) = nullptr;
};
void SetRoomParticleSource(RoomParticleSource source);

// Connects room drawing to what asks for it: screen_redraw, the room area of the tiled drawing
// built-ins, and the background sizes the room needs.
void InstallRoomDrawing();

// The whole frame of the current room (nothing without one).
void Room_Draw();
void Room_Draw(CRoom& room);
// View following and the registration of each visible view's mouse mapping.
void Room_UpdateViews(CRoom& room);
// Draws the room clipped to `rect` into the current viewport.
void Room_DrawView(CRoom& room, const RoomRect& rect);

// The part of the room a view shows; a turned view widens it so the corners stay covered.
RoomRect Room_ViewRectangle(const CView& view);
// The window caption of a frame: the room's caption with score, lives and health as shown.
std::string Room_Caption(const CRoom& room);
// The same caption, rebuilt only when something it is made of has changed since the last
// call (the frame loop asks every frame, and the texts seldom change).
const std::string& Room_CachedCaption(const CRoom& room);

} // namespace kestrin
