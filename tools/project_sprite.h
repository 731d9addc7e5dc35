#pragma once
// Sprites in a text project: origin, one PNG file per frame and the settings the builder
// computes the collision masks from. A record that these fields cannot reproduce byte for
// byte stays a hex "record".

#include "tools/project_kinds.h"

namespace kestrin::project {

void SaveSprite(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadSprite(JsonObject& json, RawResource& resource, const ResourceFiles& files);

} // namespace kestrin::project
