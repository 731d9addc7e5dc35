#include "runner/game_data.h"

#include <algorithm>
#include <span>

#include "runner/container.h"
#include "runner/messages.h"

namespace kestrin {

namespace {

struct SectionInfo {
    int percent;
    const char* text;
};

// Progress before each section, in section order.
constexpr SectionInfo kSections[16] = {
    {0, "Loading extension packages"},
    {5, "Loading triggers"},
    {6, "Loading constants"},
    {7, "Loading sounds"},
    {10, "Loading sprites"},
    {23, "Loading backgrounds"},
    {30, "Loading paths"},
    {32, "Loading scripts"},
    {34, "Loading fonts"},
    {36, "Loading time lines"},
    {38, "Loading objects"},
    {40, "Loading rooms"},
    {43, "Loading included files"},
    {45, "Loading help"},
    {47, "Loading library init code"},
    {49, "Loading room order"},
};

// Resource kinds in the order their sections appear (sections 4 to 12).
constexpr ResourceKind kKindOrder[kResourceKindCount] = {
    ResourceKind::Sound,    ResourceKind::Sprite, ResourceKind::Background,
    ResourceKind::Path,     ResourceKind::Script, ResourceKind::Font,
    ResourceKind::TimeLine, ResourceKind::Object, ResourceKind::Room,
};

constexpr int32_t kSectionVersion = 800;
constexpr int32_t kInitCodeVersion = 500;
constexpr int32_t kRoomOrderVersion = 700;

// One item block, read where the inflater left it: the present flag, the name when the
// section has names, and the rest as the record, copied out once.
void ReadItem(std::span<const uint8_t> block, bool named, RawResource& item) {
    CStream head(block.data(), std::min<size_t>(block.size(), 8));
    item.present = head.ReadBoolean();
    if (!item.present) return;
    size_t at = 4;
    if (named) {
        // A name is read as ReadString reads it: a length, then that many bytes of text.
        const int32_t n = head.ReadInteger();
        const size_t length = n > 0 ? static_cast<size_t>(n) : 0;
        if (length > block.size() - 8) throw StreamError("read past the end of the stream");
        item.name = SanitizeUtf8({reinterpret_cast<const char*>(block.data()) + 8, length});
        at = 8 + length;
    }
    item.record.assign(block.begin() + static_cast<ptrdiff_t>(at), block.end());
}

void ReadItems(CStream& in, std::vector<RawResource>& items, bool named, CInflater& inflater,
               const std::function<void(RawResource&)>& sink = {}) {
    // Each item is at least a 4-byte length.
    size_t count = in.CheckCount(in.ReadInteger(), 4);
    items.assign(count, RawResource());
    for (auto& item : items) {
        const int32_t n = in.ReadInteger();
        ReadItem(n > 0 ? inflater.Inflate(in.ReadView(static_cast<size_t>(n))) : std::span<const uint8_t>(),
                 named, item);
        if (sink) sink(item);
    }
}

void WriteItems(CStream& out, const std::vector<RawResource>& items, bool named) {
    out.WriteInteger(kSectionVersion);
    out.WriteInteger(static_cast<int32_t>(items.size()));
    for (const auto& item : items) {
        CStream sub;
        sub.WriteBoolean(item.present);
        if (item.present) {
            if (named) sub.WriteString(item.name);
            sub.WriteBytes(item.record);
        }
        out.WriteStreamC(sub);
    }
}

} // namespace

const char* ResourceKindName(ResourceKind kind) {
    static const char* const names[kResourceKindCount] = {"sound", "sprite",   "background", "path", "script",
                                                          "font",  "timeline", "object",     "room"};
    return names[static_cast<int>(kind)];
}

void GameInformation::LoadFromStream(CStream& in) {
    background_colour = in.ReadInteger();
    show_in_window = in.ReadBoolean();
    caption = in.ReadString();
    left = in.ReadInteger();
    top = in.ReadInteger();
    width = in.ReadInteger();
    height = in.ReadInteger();
    border = in.ReadBoolean();
    sizeable = in.ReadBoolean();
    stay_on_top = in.ReadBoolean();
    modal = in.ReadBoolean();
    rtf = in.ReadStream().TakeBytes();
}

void GameInformation::SaveToStream(CStream& out) const {
    out.WriteInteger(background_colour);
    out.WriteBoolean(show_in_window);
    out.WriteString(caption);
    out.WriteInteger(left);
    out.WriteInteger(top);
    out.WriteInteger(width);
    out.WriteInteger(height);
    out.WriteBoolean(border);
    out.WriteBoolean(sizeable);
    out.WriteBoolean(stay_on_top);
    out.WriteBoolean(modal);
    out.WriteStream(CStream(rtf));
}

bool ReadResourceStream(CStream& in, GameData& game, const ProgressFn& progress, std::string& message,
                        const ResourceSink& sink) {
    auto section = [&](int index) {
        if (progress) progress(kSections[index].percent, kSections[index].text);
    };
    auto fail = [&](const char* text) {
        message = text;
        return false;
    };

    size_t filler = in.CheckCount(in.ReadInteger(), 4);
    in.Skip(4 * filler);
    (void)in.ReadInteger(); // reserved flags
    game.game_id = in.ReadInteger();
    in.ReadRaw(game.game_guid.data(), game.game_guid.size());

    section(0);
    if (!LoadExtensionSection(in, game.extensions)) {
        message = std::string(msg::kExtensionPackages) + "\n" + msg::kResourceData;
        return false;
    }

    // One buffer for every item: a section of large records grows it once.
    CInflater inflater;
    section(1);
    if (in.ReadInteger() != kSectionVersion) return fail(msg::kResourceData);
    ReadItems(in, game.triggers, false, inflater);

    section(2);
    if (in.ReadInteger() != kSectionVersion) return fail(msg::kResourceData);
    size_t nconst = in.CheckCount(in.ReadInteger(), 8);
    game.constants.assign(nconst, UserConstant());
    for (auto& c : game.constants) {
        c.name = in.ReadString();
        c.value = in.ReadString();
    }

    for (int k = 0; k < kResourceKindCount; ++k) {
        section(3 + k);
        if (in.ReadInteger() != kSectionVersion) return fail(msg::kResourceData);
        const ResourceKind kind = kKindOrder[k];
        ReadItems(in, game.Resources(kind), true, inflater, [&](RawResource& item) {
            if (sink) sink(kind, item);
        });
    }
    game.last_instance_id = in.ReadInteger();
    game.last_tile_id = in.ReadInteger();

    section(12);
    if (in.ReadInteger() != kSectionVersion) return fail(msg::kResourceData);
    size_t nfiles = in.CheckCount(in.ReadInteger(), 4);
    game.included_files.files.assign(nfiles, CDataFile());
    for (auto& f : game.included_files.files) {
        CStream sub = in.ReadStreamC();
        if (!f.LoadFromStream(sub)) return fail(msg::kResourceData);
    }

    section(13);
    if (in.ReadInteger() != kSectionVersion) return fail(msg::kResourceData);
    {
        CStream sub = in.ReadStreamC();
        game.information.LoadFromStream(sub);
    }

    section(14);
    if (in.ReadInteger() != kInitCodeVersion) return fail(msg::kResourceData);
    size_t ncode = in.CheckCount(in.ReadInteger(), 4);
    game.library_init_code.assign(ncode, std::string());
    for (auto& code : game.library_init_code) code = in.ReadString();

    section(15);
    if (in.ReadInteger() != kRoomOrderVersion) return fail(msg::kResourceData);
    int32_t nrooms = in.ReadInteger();
    if (nrooms <= 0) return fail(msg::kResourceData);
    game.room_order.assign(in.CheckCount(nrooms, 4), 0);
    for (auto& r : game.room_order) r = in.ReadInteger();
    return true;
}

void WriteResourceStream(CStream& out, const GameData& game, StreamRandom& random) {
    int32_t filler = static_cast<int32_t>(random.Below(32) + 1);
    out.WriteInteger(filler);
    for (int32_t i = 0; i < filler; ++i) out.WriteWord(random.Next());
    out.WriteInteger(0);
    out.WriteInteger(game.game_id);
    out.WriteRaw(game.game_guid.data(), game.game_guid.size());

    SaveExtensionSection(out, game.extensions);
    WriteItems(out, game.triggers, false);

    out.WriteInteger(kSectionVersion);
    out.WriteInteger(static_cast<int32_t>(game.constants.size()));
    for (const auto& c : game.constants) {
        out.WriteString(c.name);
        out.WriteString(c.value);
    }
    for (ResourceKind kind : kKindOrder) WriteItems(out, game.Resources(kind), true);
    out.WriteInteger(game.last_instance_id);
    out.WriteInteger(game.last_tile_id);

    out.WriteInteger(kSectionVersion);
    out.WriteInteger(static_cast<int32_t>(game.included_files.files.size()));
    for (const auto& f : game.included_files.files) {
        CStream sub;
        f.SaveToStream(sub);
        out.WriteStreamC(sub);
    }

    out.WriteInteger(kSectionVersion);
    {
        CStream sub;
        game.information.SaveToStream(sub);
        out.WriteStreamC(sub);
    }

    out.WriteInteger(kInitCodeVersion);
    out.WriteInteger(static_cast<int32_t>(game.library_init_code.size()));
    for (const auto& code : game.library_init_code) out.WriteString(code);

    out.WriteInteger(kRoomOrderVersion);
    out.WriteInteger(static_cast<int32_t>(game.room_order.size()));
    for (int32_t r : game.room_order) out.WriteInteger(r);
}

LoadResult LoadGameData(std::vector<uint8_t> image, size_t searchStart, GameData& game,
                        const ProgressFn& progress, const std::function<void()>& settingsRead,
                        const ResourceSink& sink) {
    LoadResult result;
    try {
        ContainerResult container = OpenContainer(image, searchStart);
        switch (container.status) {
        case ContainerStatus::NotFound:
            result.message = msg::kNotValidGameFile;
            return result;
        case ContainerStatus::ChecksumMismatch:
            result.message = msg::kLoadCorrupted;
            return result;
        case ContainerStatus::WrongVersion:
            result.message = msg::kWrongVersion;
            return result;
        case ContainerStatus::Ok:
            break;
        }
        CStream file(std::move(image));
        file.Seek(container.bodyOffset + 4);
        (void)file.ReadInteger();
        game.debug_mode = file.ReadBoolean();
        (void)file.ReadInteger();
        if (!ReadSettings(file, game.settings)) {
            result.message = msg::kResourceData;
            return result;
        }
        if (progress) progress(1, "Reading data");
        if (settingsRead) settingsRead();
        game.library_name = file.ReadString();
        game.library_data = file.ReadStreamC().TakeBytes();
        CStream resources = file.ReadStreamE();
        file = CStream(); // the image is not needed any more
        if (!ReadResourceStream(resources, game, progress, result.message, sink)) return result;
    } catch (const std::exception&) {
        // A read past the end, or anything else the damaged data provokes (allocation
        // included): the file is corrupted, never a crash.
        result.message = msg::kLoadCorrupted;
        return result;
    }
    result.ok = true;
    return result;
}

std::vector<uint8_t> SaveGameData(const GameData& game, StreamRandom& random) {
    CStream body;
    body.WriteInteger(0);
    body.WriteBoolean(game.debug_mode);
    body.WriteInteger(0);
    WriteSettings(body, game.settings);
    body.WriteString(game.library_name);
    body.WriteStreamC(CStream(game.library_data));
    CStream resources;
    WriteResourceStream(resources, game, random);
    body.WriteStreamE(resources, random);
    return WriteContainer(body.Bytes(), random);
}

} // namespace kestrin
