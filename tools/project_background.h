#pragma once
// Backgrounds in a text project: the image as a PNG file beside the JSON, or the stored record
// as hex when the image form could not give the same bytes back.

#include "tools/project_kinds.h"

namespace kestrin::project {

void SaveBackground(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadBackground(JsonObject& json, RawResource& resource, const ResourceFiles& files);

} // namespace kestrin::project
