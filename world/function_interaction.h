#pragma once
// The interaction built-ins: probing places and points, the collision searches, finding and
// counting instances, distances, the movement routines (contact, outside, random, snap, wrap,
// towards, bounce), creating, copying, changing and destroying instances, and activation.

#include <cstdint>
#include <span>

#include "script/builtin_routine.h"
#include "script/variables.h" // the designators: kSelfSelector ... kFirstInstanceId

namespace kestrin {

class CInstance;

// The searches behind the built-ins, for the collision benchmark and the tests.
bool PlaceFree(CInstance& self, double x, double y);
bool PlaceEmpty(CInstance& self, double x, double y);
// Id of the first instance designated by obj that self placed at (x, y) meets, or -4.
int32_t InstancePlace(CInstance& self, double x, double y, int32_t obj);
// Id of the first designated instance whose rectangle test succeeds, or -4.
int32_t CollisionRectangle(CInstance* self, double x1, double y1, double x2, double y2, int32_t obj,
                           bool prec, bool notme);

// The contact move of move_contact_solid and move_contact_all: up to Round(maxdist) unit
// steps in direction dir (1000 when maxdist <= 0), each taken while the place it leads to is
// free. MoveContact skips runs of steps that provably meet nothing; MoveContactByProbes asks
// at every step and is the reference the tests hold it to.
void MoveContact(CInstance& me, double dir, double maxdist, bool solidOnly);
void MoveContactByProbes(CInstance& me, double dir, double maxdist, bool solidOnly);

std::span<const RFunctionSpec> InteractionFunctions();

} // namespace kestrin
