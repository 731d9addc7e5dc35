#include "sound/sound_record.h"

#include "base/stream.h"

namespace kestrin {

bool SoundRecord::LoadFromStream(CStream& in) {
    version = in.ReadInteger();
    if (version != kSoundVersion) return false;
    if (!ReadFields<SoundRecord>(in, *this, kSoundHeadFields, version)) return false;
    has_data = in.ReadBoolean();
    data.clear();
    if (has_data) data = in.ReadStream().TakeBytes();
    return ReadFields<SoundRecord>(in, *this, kSoundTailFields, version);
}

void SoundRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(version);
    WriteFields<SoundRecord>(out, *this, kSoundHeadFields, version);
    out.WriteBoolean(has_data);
    if (has_data) out.WriteStream(CStream(data));
    WriteFields<SoundRecord>(out, *this, kSoundTailFields, version);
}

} // namespace kestrin
