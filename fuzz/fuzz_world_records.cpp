// Object, room, time-line and trigger records over hostile bytes: the records themselves (what a
// loaded record saves must load again and save the same), the runtime classes built from them, and
// event lookups through whatever parent chains the bytes describe.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "runner/object.h"
#include "runner/room.h"
#include "base/stream.h"
#include "runner/game_data.h"
#include "world/timeline.h"
#include "world/trigger.h"

using namespace kestrin;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::vector<uint8_t> input(data, data + size);
    {
        CStream in(input);
        ObjectRecord record;
        try {
            if (record.LoadFromStream(in)) {
                // What a record saves loads back and saves to the same bytes.
                CStream out;
                record.SaveToStream(out);
                out.Seek(0);
                ObjectRecord again;
                if (!again.LoadFromStream(out)) std::abort();
                CStream second;
                again.SaveToStream(second);
                if (second.Bytes() != out.Bytes()) std::abort();
                Objects().Clear();
                for (int i = 0; i < 3; ++i) {
                    auto object = std::make_unique<CObject>();
                    object->Assign(record);
                    Objects().Add("o", std::move(object));
                }
                for (int32_t type = -1; type <= kEventTypeCount; ++type)
                    for (int32_t number : {0, 1, 2, 37, 99999})
                        (void)Objects().Get(0)->GetEventRecursive(type, number);
                (void)Objects().Get(1)->IsDecendentOf(2);
                CRoom room;
                for (int32_t object : {0, 1, 2, record.parent}) room.AddInstance(0, 0, object);
                (void)room.Obj_Number_Recursive(record.parent);
                Objects().Clear();
            }
        } catch (const StreamError&) {
        }
    }
    {
        CStream in(input);
        RoomRecord record;
        try {
            if (record.LoadFromStream(in)) {
                CStream out;
                record.SaveToStream(out);
                out.Seek(0);
                RoomRecord again;
                if (!again.LoadFromStream(out)) std::abort();
                CStream second;
                again.SaveToStream(second);
                if (second.Bytes() != out.Bytes()) std::abort();
                CRoom room;
                room.Assign(record);
                CRoom copy;
                copy.Assign(room);
                copy.SortTiles();
                copy.SortInstances();
                (void)copy.FindTileAt(1, 1, true);
                copy.DeleteTilesAt(1, 1, false);
            }
        } catch (const StreamError&) {
        }
    }
    {
        CStream in(input);
        TimeLineRecord record;
        try {
            if (record.LoadFromStream(in)) {
                CStream out;
                record.SaveToStream(out);
                out.Seek(0);
                TimeLineRecord again;
                if (!again.LoadFromStream(out)) std::abort();
                CStream second;
                again.SaveToStream(second);
                if (second.Bytes() != out.Bytes()) std::abort();
                // The running form keeps its steps strictly increasing, whatever order was stored.
                CTimeLine timeline;
                timeline.Assign(record);
                for (int32_t k = 1; k < timeline.Count(); ++k)
                    if (timeline.s_step[size_t(k)] <= timeline.s_step[size_t(k) - 1]) std::abort();
                for (double step : {-1e300, -1.0, 0.0, 0.5, 3.0, 1e300}) {
                    (void)timeline.FindLarger(step);
                    (void)timeline.FindSmaller(step);
                }
            }
        } catch (const StreamError&) {
        }
        // The table never keeps part of a failed load.
        if (!TimeLine_LoadRecords({RawResource{true, "t", input}}) && TimeLine_Count() != 0) std::abort();
        TimeLine_ClearAll();
    }
    {
        CStream in(input);
        TriggerRecord record;
        try {
            if (record.LoadFromStream(in)) {
                CStream out;
                record.SaveToStream(out);
                out.Seek(0);
                TriggerRecord again;
                if (!again.LoadFromStream(out)) std::abort();
                CStream second;
                again.SaveToStream(second);
                if (second.Bytes() != out.Bytes()) std::abort();
            }
        } catch (const StreamError&) {
        }
        // The table never keeps part of a failed load; whatever loaded compiles or refuses.
        if (!Trigger_LoadRecords({RawResource{true, "", input}})) {
            if (Trigger_Count() != 0) std::abort();
        } else if (Trigger_Count() != 1 || !Trigger_Exists(0)) {
            std::abort();
        }
        Trigger_ClearAll();
    }
    return 0;
}
