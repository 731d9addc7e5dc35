#pragma once
// Objects, rooms, paths and time lines in a text project: readable fields (events with their
// actions, code actions in text files; rooms with layers, views, instances, tiles and creation
// code; paths with their control points; time lines with their moments). A record that the
// readable form cannot reproduce byte for byte stays a hex "record".

#include "runner/object_record.h"
#include "tools/project_kinds.h"

namespace kestrin::project {

void SaveObject(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadObject(JsonObject& json, RawResource& resource, const ResourceFiles& files);
void SaveRoom(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadRoom(JsonObject& json, RawResource& resource, const ResourceFiles& files);
void SavePath(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadPath(JsonObject& json, RawResource& resource, const ResourceFiles& files);
void SaveTimeLine(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadTimeLine(JsonObject& json, RawResource& resource, const ResourceFiles& files);

// One action of an event or a moment, as the loader reads it (defaults included).
ActionRecord ReadAction(JsonObject& json, const ResourceFiles& files);

// The hex form every kind falls back to.
void SaveRawRecord(const RawResource& resource, Json& json, const ResourceFiles& files);
void LoadRawRecord(JsonObject& json, RawResource& resource, const ResourceFiles& files);

} // namespace kestrin::project
