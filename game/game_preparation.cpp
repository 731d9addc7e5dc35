#include "game/game_preparation.h"

#include <memory>
#include <unordered_map>

#include "script/constants.h"
#include "script/errors.h"
#include "script/scripts.h"
#include "script/variable_list.h"
#include "script/variables.h"
#include "world/trigger.h"

namespace kestrin {

void PrepareScriptLanguage(const CSettings& settings) {
    SetUnknownVariablesReadAsZero(settings.TreatUninitialisedAsZero());
    SetCheckScriptArguments(settings.CheckArguments());
    SetErrorOptions({settings.display_errors, settings.write_errors, settings.abort_errors});
    ResetErrorState();
    GlobalsInit();
}

void UseResourceNames(const GameData& game) {
    static constexpr ResourceKind kPrecedence[] = {
        ResourceKind::Object,     ResourceKind::Sprite, ResourceKind::Sound,
        ResourceKind::Background, ResourceKind::Path,   ResourceKind::Font,
        ResourceKind::TimeLine,   ResourceKind::Script, ResourceKind::Room,
    };
    auto names = std::make_shared<std::unordered_map<std::string, int32_t>>();
    for (const ResourceKind kind : kPrecedence) {
        const std::vector<RawResource>& list = game.Resources(kind);
        // The first kind and, within it, the lowest present index keep the name.
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i].present) names->emplace(list[i].name, static_cast<int32_t>(i));
    }
    SetResourceNameLookup([names](std::string_view name, int32_t& index) {
        const auto it = names->find(std::string(name));
        if (it == names->end()) return false;
        index = it->second;
        return true;
    });
    // Trigger constants come after the resource names; the table is read before the constants.
    SetTriggerConstantLookup([](std::string_view name, int32_t& index) {
        index = Trigger_FindConstant(name);
        return index >= 0;
    });
}

bool DefineGameConstants(const std::vector<UserConstant>& constants, std::string& message) {
    for (const UserConstant& c : constants)
        if (!DefineConstant(c.name, c.value, message)) return false;
    return true;
}

bool LoadScripts(const std::vector<RawResource>& records) {
    ClearScripts();
    for (const RawResource& record : records) {
        if (!record.present) {
            AddEmptyScriptSlot();
            continue;
        }
        CStream stream(record.record);
        CScript script;
        try {
            if (!script.LoadFromStream(stream)) return false;
        } catch (const RunnerFault&) {
            return false;
        }
        AddScript(record.name, script.s_text);
    }
    return true;
}

} // namespace kestrin
