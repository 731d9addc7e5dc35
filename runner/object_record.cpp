#include "runner/object_record.h"

#include "base/stream.h"

namespace kestrin {

bool ActionRecord::LoadFromStream(CStream& in) {
    if (in.ReadInteger() != kActionVersion) return false;
    libid = in.ReadInteger();
    id = in.ReadInteger();
    kind = in.ReadInteger();
    userelative = in.ReadBoolean();
    isquestion = in.ReadBoolean();
    useapplyto = in.ReadBoolean();
    exetype = in.ReadInteger();
    function = in.ReadString();
    code = in.ReadString();
    argumentcount = in.ReadInteger();
    if (argumentcount < 0 || argumentcount > kMaxActionArguments) return false;
    int32_t ntypes = in.ReadInteger();
    if (ntypes < 0 || ntypes > kMaxActionArguments) return false;
    argtypes.assign(in.CheckCount(ntypes, 4), 0);
    for (int32_t& t : argtypes) t = in.ReadInteger();
    who = in.ReadInteger();
    relative = in.ReadBoolean();
    int32_t nargs = in.ReadInteger();
    if (nargs < 0 || nargs > kMaxActionArguments) return false;
    args.assign(in.CheckCount(nargs, 4), std::string());
    for (std::string& a : args) a = in.ReadString();
    isnot = in.ReadBoolean();
    return true;
}

void ActionRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(kActionVersion);
    out.WriteInteger(libid);
    out.WriteInteger(id);
    out.WriteInteger(kind);
    out.WriteBoolean(userelative);
    out.WriteBoolean(isquestion);
    out.WriteBoolean(useapplyto);
    out.WriteInteger(exetype);
    out.WriteString(function);
    out.WriteString(code);
    out.WriteInteger(argumentcount);
    out.WriteInteger(static_cast<int32_t>(argtypes.size()));
    for (int32_t t : argtypes) out.WriteInteger(t);
    out.WriteInteger(who);
    out.WriteBoolean(relative);
    out.WriteInteger(static_cast<int32_t>(args.size()));
    for (const std::string& a : args) out.WriteString(a);
    out.WriteBoolean(isnot);
}

bool ObjectRecord::LoadFromStream(CStream& in) {
    version = in.ReadInteger();
    if (version != kObjectVersion) return false;
    spriteindex = in.ReadInteger();
    solid = in.ReadBoolean();
    visible = in.ReadBoolean();
    depth = in.ReadInteger();
    persistent = in.ReadBoolean();
    parent = in.ReadInteger();
    mask = in.ReadInteger();
    lasttype = in.ReadInteger();
    if (lasttype >= kEventTypeCount) return false;
    for (auto& list : events) list.clear();
    for (int32_t type = 0; type <= lasttype; ++type) {
        for (;;) {
            int32_t number = in.ReadInteger();
            if (number == -1) break;
            if (number < -1) return false;
            EventRecord& event = events[static_cast<size_t>(type)].emplace_back();
            event.number = number;
            event.version = in.ReadInteger();
            if (event.version != kEventVersion) continue;
            // Each action takes well over 4 bytes, so the check bounds the allocation.
            event.actions.resize(in.CheckCount(in.ReadInteger(), 4));
            for (ActionRecord& action : event.actions)
                if (!action.LoadFromStream(in)) return false;
        }
    }
    return true;
}

void ObjectRecord::SaveToStream(CStream& out) const {
    out.WriteInteger(version);
    out.WriteInteger(spriteindex);
    out.WriteBoolean(solid);
    out.WriteBoolean(visible);
    out.WriteInteger(depth);
    out.WriteBoolean(persistent);
    out.WriteInteger(parent);
    out.WriteInteger(mask);
    out.WriteInteger(lasttype);
    for (int32_t type = 0; type <= lasttype && type < kEventTypeCount; ++type) {
        for (const EventRecord& event : events[static_cast<size_t>(type)]) {
            out.WriteInteger(event.number);
            out.WriteInteger(event.version);
            if (event.version != kEventVersion) continue;
            out.WriteInteger(static_cast<int32_t>(event.actions.size()));
            for (const ActionRecord& action : event.actions) action.SaveToStream(out);
        }
        out.WriteInteger(-1);
    }
}

} // namespace kestrin
