#include "tools/script_command.h"

#include <cstdio>

#include "base/fault.h"
#include "base/file_io.h"
#include "base/stream.h"
#include "runner/game_data.h"
#include "runner/game_world.h"
#include "runner/instance.h"
#include "runner/object_record.h"
#include "runner/room.h"
#include "runner/room_record.h"
#include "script/code.h"
#include "script/compiler.h"
#include "script/errors.h"
#include "script/interpreter.h"
#include "script/scripts.h"

namespace kestrin {

namespace {

// The id of the one instance in the room: the first id a game gives.
constexpr int32_t kScriptInstanceId = 100001;

void PrintError(std::string_view text) {
    std::fflush(stdout);
    std::string plain;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            plain += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            plain += text[i];
        }
    }
    std::fprintf(stderr, "%s\n", plain.c_str());
}

} // namespace

bool ReadScriptFile(const std::string& path, std::string& text) {
    std::vector<uint8_t> bytes;
    switch (ReadRegularFile(path, bytes, kMaxCodeBytes)) {
    case FileReadStatus::Ok:
        break;
    case FileReadStatus::NotRegular:
        std::fprintf(stderr, "kestrin script: %s: not a regular file\n", path.c_str());
        return false;
    case FileReadStatus::TooLarge:
        std::fprintf(stderr, "kestrin script: %s: larger than the %zu MiB code may have\n", path.c_str(),
                     kMaxCodeBytes >> 20);
        return false;
    default:
        std::fprintf(stderr, "kestrin script: %s: cannot read the file\n", path.c_str());
        return false;
    }
    text = SanitizeUtf8(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    return true;
}

std::vector<uint8_t> ScriptGameData() {
    GameData game;
    CStream object;
    ObjectRecord().SaveToStream(object);
    game.Resources(ResourceKind::Object).push_back({true, "object0", object.TakeBytes()});
    RoomRecord record;
    RoomRecord::Instance instance;
    instance.id = kScriptInstanceId;
    record.instances.push_back(instance);
    CStream room;
    record.SaveToStream(room);
    game.Resources(ResourceKind::Room).push_back({true, "room0", room.TakeBytes()});
    game.room_order = {0};
    game.last_instance_id = kScriptInstanceId;
    StreamRandom random(0x536372697074ull);
    return SaveGameData(game, random);
}

std::function<bool()> ScriptRunner(std::string text) {
    return [text = std::move(text)] {
        CRoom* room = World().Current();
        auto* self = room ? static_cast<CInstance*>(room->FindInstance(kScriptInstanceId)) : nullptr;
        CCode code(text, false);
        bool ok = false;
        RValue result;
        try {
            if (!code.Compile()) {
                PrintError(LastCodeError());
            } else if (!RunCode(self, self, code, result)) {
                PrintError(LastCodeError());
            } else {
                ok = true;
            }
        } catch (const std::exception& fault) {
            // Running out of memory included: reported as "Out of memory", never an abort.
            HandleRunnerFault(fault);
        }
        std::fflush(stdout);
        if (!ok) return false;
        const std::string value = ValueText(result);
        std::printf("%s\n", value.c_str());
        std::fflush(stdout);
        return !ErrorOccurred();
    };
}

} // namespace kestrin
