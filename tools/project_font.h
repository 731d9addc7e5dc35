#pragma once
// Fonts in a text project: a system font family with size, style, glyph range and character
// set, rendered into its atlas by the builder exactly as font_add renders at run time. A
// record these fields cannot give back byte for byte stays a hex "record".

#include "tools/project_kinds.h"

namespace kestrin::project {

void SaveFont(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadFont(JsonObject& json, RawResource& resource, const ResourceFiles& files);

} // namespace kestrin::project
