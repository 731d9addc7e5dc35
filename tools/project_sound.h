#pragma once
// Sounds in a text project: the sound's own file (any kind the runner decodes) beside its
// JSON, with kind, effects, volume, pan and preload. A record these fields cannot give back
// byte for byte stays a hex "record".

#include "tools/project_kinds.h"

namespace kestrin::project {

void SaveSound(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadSound(JsonObject& json, RawResource& resource, const ResourceFiles& files);

} // namespace kestrin::project
