#include "tools/project_script.h"

#include "base/stream.h"
#include "script/scripts.h"
#include "tools/project_world.h"

namespace kestrin::project {

namespace {

std::vector<uint8_t> ScriptRecord(std::string_view text) {
    CStream out;
    out.WriteInteger(kScriptVersion);
    out.WriteString(text);
    return out.TakeBytes();
}

// The text of a record that the readable form reproduces exactly; false for any other record
// (another version, bytes after the text, a cut-short record).
bool ReadableText(const RawResource& resource, std::string& text) {
    CStream in(resource.record);
    try {
        if (in.ReadInteger() != kScriptVersion) return false;
        text = in.ReadString();
        if (!in.AtEnd()) return false;
    } catch (const RunnerFault&) {
        return false;
    }
    return ScriptRecord(text) == resource.record;
}

} // namespace

void SaveScript(const RawResource& resource, Json& json, const ResourceFiles& files) {
    std::string text;
    if (!ReadableText(resource, text)) return SaveRawRecord(resource, json, files);
    json["code"] = Json({{"file", files.Write(".txt", BytesFromText(text))}});
}

void LoadScript(JsonObject& json, RawResource& resource, const ResourceFiles& files) {
    if (json.Has("record")) return LoadRawRecord(json, resource, files);
    std::string text;
    if (const Json* code = json.Find("code"); code && code->is_object()) {
        JsonObject file(*code, json.File(), json.Field("code"));
        text = TextFromBytes(files.Read(file, "file"));
        file.Finish();
    } else if (code) {
        text = AsString(*code, json.File(), json.Field("code"));
    }
    resource.record = ScriptRecord(text);
}

} // namespace kestrin::project
