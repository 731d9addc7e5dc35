#include "tools/project_check.h"

#include <exception>

#include "base/stream.h"
#include "base/utf.h"
#include "game/compose.h"
#include "game/game_preparation.h"
#include "runner/extension_main.h"
#include "runner/object_record.h"
#include "script/code.h"
#include "script/constants.h"
#include "script/scripts.h"
#include "tools/project_json.h"
#include "tools/project_world.h"

namespace fs = std::filesystem;

namespace kestrin {

using namespace project;

namespace {

// How the runner reads an action argument (runner/object.cpp): these kinds are taken as text.
constexpr int32_t kArgumentString = 1;
constexpr int32_t kArgumentStringOrExpression = 2;
constexpr int32_t kArgumentText = 15;

// Where a piece of code came from: a text file of its own (no field), or a JSON string.
struct Source {
    std::string file;
    std::string field;
};

int32_t Utf16Length(std::string_view text) {
    return static_cast<int32_t>(Utf8ToUtf16(text).size());
}

class CodeChecker {
public:
    CodeChecker(const fs::path& dir, const GameData& game) : folder_(dir), game_(game), names_(game) {}

    std::vector<std::string> Run(const Json& manifest) {
        PrepareScriptLanguage(game_.settings);
        UseResourceNames(game_);
        Extensions();
        Constants();
        if (manifest.is_object()) Triggers(manifest);
        if (!LoadScripts(game_.Resources(ResourceKind::Script)))
            errors_.push_back("scripts: a script record cannot be read");
        ExtensionCode();
        const Json* resources = manifest.is_object() ? Find(manifest, "resources") : nullptr;
        Each(resources, "scripts",
             [&](const std::string& file, const Json& json, size_t index) { Script(file, json, index); });
        Each(resources, "objects", [&](const std::string& file, const Json& json, size_t) {
            const Json* events = Find(json, "events");
            if (!events || !events->is_array()) return;
            for (size_t e = 0; e < events->size(); ++e) Actions(file, (*events)[e], ElementPath("events", e));
        });
        Each(resources, "timelines", [&](const std::string& file, const Json& json, size_t) {
            const Json* moments = Find(json, "moments");
            if (!moments || !moments->is_array()) return;
            for (size_t m = 0; m < moments->size(); ++m)
                Actions(file, (*moments)[m], ElementPath("moments", m));
        });
        Each(resources, "rooms",
             [&](const std::string& file, const Json& json, size_t) { Room(file, json); });
        return std::move(errors_);
    }

private:
    static const Json* Find(const Json& json, const char* key) {
        if (!json.is_object()) return nullptr;
        auto it = json.find(key);
        return it == json.end() ? nullptr : &*it;
    }

    // Calls `visit` with the JSON of every present resource of a kind in readable form.
    template <class Visit> void Each(const Json* resources, const char* kind, Visit visit) {
        const Json* list = resources ? Find(*resources, kind) : nullptr;
        if (!list || !list->is_array()) return;
        for (size_t i = 0; i < list->size(); ++i) {
            if (!(*list)[i].is_string()) continue;
            std::string file = std::string(kind) + "/" + (*list)[i].get<std::string>() + ".json";
            Json json = folder_.ReadJson(file, "game.json", ElementPath(FieldPath("resources", kind), i));
            visit(file, json, i);
        }
    }

    // A code field: inline text or {"file": PATH}.
    bool CodeField(const Json& value, const std::string& file, const std::string& field, std::string& text,
                   Source& source) {
        if (value.is_string()) {
            text = value.get<std::string>();
            source = {file, field};
            return true;
        }
        const Json* path = Find(value, "file");
        if (!path || !path->is_string()) return false;
        source = {path->get<std::string>(), ""};
        text = TextFromBytes(folder_.ReadBytes(source.file, file, FieldPath(field, "file")));
        return true;
    }

    void Report(const Source& source, std::string_view text, int32_t position, const std::string& message) {
        std::string line = source.file;
        line += source.field.empty() ? ":" : ": " + source.field + ":";
        errors_.push_back(line + CodePlace(text, position) + ": " + message);
    }

    // Compiles the text; on an error reports it. `map` turns a position in `text` into a
    // source and a position in that source's text (for code put together from parts).
    template <class Map> void Compile(const std::string& text, bool expression, Map map) {
        CCode code(text, expression);
        ClearCodeError();
        bool ok = false;
        try {
            ok = code.Compile();
        } catch (const std::exception& fault) {
            // Out of memory and the like: reported, the check goes on.
            ClearCodeError();
            auto [source, part, position] = map(1);
            Report(source, part, position, fault.what());
            return;
        }
        if (ok) return;
        std::string message = LastCodeErrorMessage();
        if (message.empty()) message = LastCodeError();
        auto [source, part, position] = map(LastCodeErrorPosition());
        ClearCodeError();
        Report(source, part, position, message);
    }

    void Compile(const std::string& text, bool expression, const Source& source) {
        Compile(text, expression, [&](int32_t position) { return std::tuple(source, text, position); });
    }

    // The packages' functions are known to code by name and their constants come before the
    // game's, as when the game runs; no file is written and no library is loaded.
    void Extensions() {
        kestrin::Extensions().Load(game_.extensions, "");
        const auto& packages = kestrin::Extensions().Packages();
        for (size_t p = 0; p < packages.size(); ++p) {
            const std::string package = ElementPath("extensions", p);
            for (size_t f = 0; f < packages[p].s_includes.size(); ++f) {
                const CExtensionFile& file = packages[p].s_includes[f];
                const std::string where = ElementPath(package + ".files", f);
                for (size_t c = 0; c < file.s_constants.size(); ++c) {
                    std::string message;
                    if (!DefineConstant(file.s_constants[c].s_name, file.s_constants[c].s_value, message))
                        errors_.push_back("game.json: " + ElementPath(where + ".constants", c) + ": " + message);
                }
            }
        }
    }

    // The packages' script functions, once the scripts they may call are known.
    void ExtensionCode() {
        const auto& packages = kestrin::Extensions().Packages();
        for (size_t p = 0; p < packages.size(); ++p)
            for (size_t f = 0; f < packages[p].s_includes.size(); ++f) {
                const CExtensionFile& file = packages[p].s_includes[f];
                const std::string where = ElementPath(ElementPath("extensions", p) + ".files", f);
                for (size_t k = 0; k < file.s_functions.size(); ++k)
                    if (!file.s_functions[k].s_script.empty())
                        Compile(file.s_functions[k].s_script, false,
                                Source{"game.json", ElementPath(where + ".functions", k)});
            }
    }

    void Constants() {
        for (size_t i = 0; i < game_.constants.size(); ++i) {
            const UserConstant& c = game_.constants[i];
            std::string message;
            if (DefineConstant(c.name, c.value, message)) continue;
            Source value{"game.json", ElementPath("constants", i) + ".value"};
            size_t before = errors_.size();
            Compile(c.value, true, value);
            if (errors_.size() == before) {
                // It compiles, so the name is wrong or the value cannot be computed.
                errors_.push_back("game.json: " + ElementPath("constants", i) + ": " + message);
            }
        }
    }

    void Triggers(const Json& manifest) {
        const Json* list = Find(manifest, "triggers");
        if (!list || !list->is_array()) return;
        for (size_t i = 0; i < list->size(); ++i) {
            const Json* condition = Find((*list)[i], "condition");
            std::string text;
            Source source;
            if (condition && CodeField(*condition, "game.json", ElementPath("triggers", i) + ".condition", text, source))
                Compile(text, false, source);
        }
    }

    void Script(const std::string& file, const Json& json, size_t index) {
        if (const Json* code = Find(json, "code")) {
            std::string text;
            Source source;
            if (CodeField(*code, file, "code", text, source)) Compile(text, false, source);
            return;
        }
        // A script kept as its record: the record's text, placed in the record field.
        if (const CScript* script = ScriptAt(static_cast<int32_t>(index)))
            Compile(script->s_text, false, Source{file, "record"});
    }

    // The actions of an event or a moment, with the code of each compiled as the runner does.
    void Actions(const std::string& file, const Json& event, const std::string& path) {
        const Json* actions = Find(event, "actions");
        if (!actions || !actions->is_array()) return;
        const ResourceFiles files(folder_, file.substr(0, file.size() - 5), &names_);
        for (size_t k = 0; k < actions->size(); ++k) {
            const std::string at = ElementPath(FieldPath(path, "actions"), k);
            const Json& ja = (*actions)[k];
            JsonObject reader(ja, file, at);
            ActionRecord a = ReadAction(reader, files);
            a.args.resize(kMaxActionArguments);
            a.argtypes.resize(kMaxActionArguments, 0);
            const Json* args = Find(ja, "arguments");
            auto argSource = [&](size_t i) {
                if (args && args->is_array() && i < args->size())
                    if (const Json* named = Find((*args)[i], "file"); named && named->is_string())
                        return Source{named->get<std::string>(), ""};
                return Source{file, ElementPath(FieldPath(at, "arguments"), i)};
            };
            if (a.kind == kActionVariable) {
                // The runner's code is "NAME = VALUE" (or +=): errors land in either part.
                const std::string op = a.relative ? " += " : " = ";
                const std::string text = a.args[0] + op + a.args[1];
                const int32_t second = Utf16Length(a.args[0]) + Utf16Length(op);
                Compile(text, false, [&](int32_t position) {
                    if (position > second) return std::tuple(argSource(1), a.args[1], position - second);
                    return std::tuple(argSource(0), a.args[0],
                                      std::min(position, Utf16Length(a.args[0]) + 1));
                });
                continue;
            }
            if (a.kind == kActionCode) {
                Compile(a.args[0], false, argSource(0));
                continue;
            }
            if (a.exetype == kExecuteCode) Compile(a.code, false, Source{file, FieldPath(at, "code")});
            for (int32_t i = 0; i < a.argumentcount && i < kMaxActionArguments; ++i) {
                const auto n = static_cast<size_t>(i);
                const std::string& text = a.args[n];
                const int32_t kind = a.argtypes[n];
                bool literal = kind == kArgumentString || kind == kArgumentText;
                if (kind == kArgumentStringOrExpression)
                    literal = text.empty() || (text[0] != '"' && text[0] != '\'');
                if (!literal) Compile(text, true, argSource(n));
            }
        }
    }

    void Room(const std::string& file, const Json& json) {
        if (const Json* code = Find(json, "creation_code")) {
            std::string text;
            Source source;
            if (CodeField(*code, file, "creation_code", text, source) && !text.empty())
                Compile(text, false, source);
        }
        const Json* instances = Find(json, "instances");
        if (!instances || !instances->is_array()) return;
        for (size_t i = 0; i < instances->size(); ++i) {
            const Json* code = Find((*instances)[i], "code");
            if (!code) continue;
            std::string text;
            Source source;
            if (CodeField(*code, file, FieldPath(ElementPath("instances", i), "code"), text, source) &&
                !text.empty())
                Compile(text, false, source);
        }
    }

    ProjectFolder folder_;
    const GameData& game_;
    const ResourceNames names_;
    std::vector<std::string> errors_;
};

} // namespace

std::string CodePlace(std::string_view text, int32_t position) {
    const std::u16string units = Utf8ToUtf16(text);
    size_t at = position < 1 ? 0 : static_cast<size_t>(position - 1);
    if (at > units.size()) at = units.size();
    int64_t line = 1, column = 1;
    for (size_t i = 0; i < at; ++i) {
        const char16_t c = units[i];
        if (c == u'\r' && i + 1 < units.size() && units[i + 1] == u'\n') continue;
        if (c == u'\r' || c == u'\n') {
            ++line;
            column = 1;
        } else if (c < 0xDC00 || c > 0xDFFF) {
            ++column; // the second half of a surrogate pair is the same character
        }
    }
    return std::to_string(line) + ":" + std::to_string(column);
}

std::vector<std::string> CheckProjectCode(const fs::path& dir, const GameData& game) {
    std::vector<std::string> errors;
    try {
        const ProjectFolder folder(dir);
        Json manifest = folder.ReadJson("game.json", "game.json", "");
        errors = CodeChecker(dir, game).Run(manifest);
    } catch (const std::exception& e) {
        errors.push_back(e.what());
    }
    // The constants, scripts and globals defined for the check are not the game's yet.
    ResetModuleStates();
    return errors;
}

} // namespace kestrin
