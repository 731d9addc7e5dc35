#pragma once
// Scripts in a text project: the script's code in a text file beside its JSON file. A record
// that this form cannot give back byte for byte stays a hex "record".

#include "tools/project_kinds.h"

namespace kestrin::project {

void SaveScript(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadScript(JsonObject& json, RawResource& resource, const ResourceFiles& files);

} // namespace kestrin::project
