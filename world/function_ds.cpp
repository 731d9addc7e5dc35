#include "world/function_ds.h"

#include <vector>

#include "world/ds_grid.h"
#include "world/ds_list.h"
#include "world/ds_map.h"
#include "world/ds_priority.h"
#include "world/ds_queue.h"
#include "world/ds_stack.h"

namespace kestrin {

namespace {

void ds_set_precision(CScriptInstance*, CScriptInstance*, int32_t, const RValue* args, RValue&) {
    SetDsPrecision(args[0].val());
}

constexpr RFunctionSpec kPrecision[] = {{"ds_set_precision", ds_set_precision, 1}};

std::vector<RFunctionSpec> BuildTable() {
    std::vector<RFunctionSpec> table;
    for (std::span<const RFunctionSpec> family :
         {std::span<const RFunctionSpec>(kPrecision), StackFunctions(), QueueFunctions(), ListFunctions(),
          MapFunctions(), PriorityFunctions(), GridFunctions()})
        table.insert(table.end(), family.begin(), family.end());
    return table;
}

} // namespace

std::span<const RFunctionSpec> DataStructureFunctions() {
    static const std::vector<RFunctionSpec> table = BuildTable();
    return table;
}

void ResetDataStructures() {
    CDS_Stack::Table().Reset();
    CDS_Queue::Table().Reset();
    CDS_List::Table().Reset();
    CDS_Map::Table().Reset();
    CDS_Priority::Table().Reset();
    CDS_Grid::Table().Reset();
    SetDsPrecision(kDefaultDsPrecision);
}

} // namespace kestrin
