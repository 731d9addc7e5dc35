// Every ds_*_read over hostile text, through the registered built-ins: the input as text and,
// so that mutations reach the fields, the input's bytes as hex text. A read either takes the
// whole text (and the container then works and writes a text that reads back the same) or
// leaves the container exactly as it was.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/stream.h"
#include "script/registry.h"
#include "script/run_error.h"
#include "script/value.h"
#include "world/ds_common.h"
#include "world/function_ds.h"
#include "world/ds_grid.h"
#include "world/ds_list.h"
#include "world/ds_map.h"
#include "world/ds_priority.h"
#include "world/ds_queue.h"
#include "world/ds_stack.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

RValue Call(std::string_view name, std::initializer_list<RValue> arguments) {
    const int32_t index = FindFunction(name);
    Check(index >= 0);
    std::array<RValue, kMaxArguments> args;
    int32_t argc = 0;
    for (const RValue& a : arguments) args[static_cast<size_t>(argc++)] = a;
    RValue result;
    FunctionRoutine(index)(nullptr, nullptr, argc, args.data(), result);
    return result;
}

// Uses what a read made, so that a text that passed the checks but breaks an invariant the
// operations rely on shows up.
void Exercise(CDS_Stack& s) {
    s.Push(RValue(1.0));
    (void)s.Pop();
    (void)s.Top();
}
void Exercise(CDS_Queue& q) {
    for (int i = 0; i < 3; ++i) (void)q.Dequeue();
    q.Enqueue(RValue("e"));
    (void)q.Head();
    (void)q.Tail();
}
void Exercise(CDS_List& l) {
    (void)l.Find(RValue(0.0));
    // The fast sort against the definition on whatever values the text held.
    if (l.Size() <= 300) {
        for (const DsSortOrder order : {DsSortOrder::Ascending, DsSortOrder::Descending}) {
            CDS_List reference = l, fast = l;
            InsertionSortValues(reference.i_val, order);
            SortValues(fast.i_val, order);
            Check(fast.WriteToString() == reference.WriteToString());
        }
    }
    if (l.Size() <= 64) l.Sort(DsSortOrder::Ascending);
    l.Insert(static_cast<int64_t>(l.Size()), RValue(2.0));
    l.Delete(0);
}
void Exercise(CDS_Map& m) {
    // The blocked map against the plain arrays on the keys as the text ordered them.
    DsPlainMap plain;
    Check(plain.ReadFromString(m.WriteToString()) == DsReadStatus::Read);
    for (const RValue& k : {RValue(0.0), RValue(1.0), RValue("k"), RValue(-1e300)}) {
        Check(m.LowerIndex(k) == plain.LowerIndex(k));
        Check(m.UpperIndex(k) == plain.UpperIndex(k));
        m.Add(k, RValue(2.0));
        plain.Add(k, RValue(2.0));
        m.Delete(RValue(1.0));
        plain.Delete(RValue(1.0));
    }
    Check(m.WriteToString() == plain.WriteToString());
    (void)m.Find(RValue(0.0));
    (void)m.FindPrevious(RValue("k"));
    (void)m.FindNext(RValue(1.0));
    m.Add(RValue(0.5), RValue(0.5));
    m.Delete(RValue(0.5));
}
void Exercise(CDS_Priority& p) {
    (void)p.DeleteMin();
    (void)p.FindMax();
    p.Change(RValue(0.0), RValue(1.0));
}
void Exercise(CDS_Grid& g) {
    (void)g.Get_Statistic(CDS_Grid::Statistic::Mean, 0, 0, 3, 3);
    (void)g.Get_Disk_Statistic(CDS_Grid::Statistic::Max, 1.5, 1.5, 2.0);
    (void)g.Value_Search(-1, -1, 100, 100, RValue("s"));
    g.Region_Operation(CellOperation::Multiply, 0, 0, 2, 2, RValue(2.0));
    g.Grid_Operation(CellOperation::Set, g, 0, 0, 3, 3, 1, 1);
}

template <class T> void Feed(std::string_view kind, const std::string& text) {
    const std::string read = "ds_" + std::string(kind) + "_read";
    T& container = *T::Table().Find(0);
    const std::string before = container.WriteToString();
    T probe = container;
    const DsReadStatus status = probe.ReadFromString(text);
    Call(read, {RValue(0.0), RValue(text)});
    const std::string after = container.WriteToString();
    if (status != DsReadStatus::Read) {
        Check(after == before);
        return;
    }
    Check(after == probe.WriteToString());
    // Taken whole: its own text reads back to the same text.
    T copy;
    Check(copy.ReadFromString(after) == DsReadStatus::Read);
    Check(copy.WriteToString() == after);
    try {
        Exercise(container);
    } catch (const RunnerFault&) {
        // An overflowing multiply is the runner's defined arithmetic fault, not a read failure.
    }
    Check(container.ReadFromString(before) == DsReadStatus::Read);
}

void FeedAll(const std::string& text) {
    Feed<CDS_Stack>("stack", text);
    Feed<CDS_Queue>("queue", text);
    Feed<CDS_List>("list", text);
    Feed<CDS_Map>("map", text);
    Feed<CDS_Priority>("priority", text);
    Feed<CDS_Grid>("grid", text);
}

void Setup() {
    ResetDataStructures();
    // The registry installs the error path when first used; silence it afterwards.
    (void)FindFunction("ds_stack_create");
    (void)SetRunErrorSink([](std::string_view, bool) {});
    Call("ds_stack_push", {Call("ds_stack_create", {}), RValue("s")});
    Call("ds_queue_enqueue", {Call("ds_queue_create", {}), RValue(1.0)});
    Call("ds_list_add", {Call("ds_list_create", {}), RValue("l")});
    Call("ds_map_add", {Call("ds_map_create", {}), RValue("k"), RValue(2.0)});
    Call("ds_priority_add", {Call("ds_priority_create", {}), RValue("p"), RValue(3.0)});
    Call("ds_grid_set",
         {Call("ds_grid_create", {RValue(2.0), RValue(2.0)}), RValue(1.0), RValue(1.0), RValue("g")});
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = (Setup(), true);
    (void)ready;
    FeedAll(std::string(reinterpret_cast<const char*>(data), size));
    FeedAll(CStream(data, size).ConvertToString());
    return 0;
}
