#pragma once
// A plain list of instances standing in for a room, for the `kestrin script` tool, tests and
// benchmarks until rooms exist: each instance belongs to one object, objects have no parents.

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "script/variables.h"

namespace kestrin {

class SimpleWorld : public InstanceWorld {
public:
    CScriptInstance* Add(int32_t id, int32_t object) {
        auto instance = std::make_unique<CScriptInstance>();
        instance->i_id = id;
        entries_.push_back({std::move(instance), object});
        byId_[id] = entries_.back().instance.get();
        return entries_.back().instance.get();
    }
    // Removes the instances marked as destroyed, as the end of a step does.
    void RemoveMarked() {
        std::erase_if(entries_, [](const Entry& e) { return e.instance->i_marked; });
        byId_.clear();
        for (const Entry& e : entries_) byId_[e.instance->i_id] = e.instance.get();
    }

    size_t InstanceCount() const override { return entries_.size(); }
    CScriptInstance* InstanceAt(size_t position) const override {
        return position < entries_.size() ? entries_[position].instance.get() : nullptr;
    }
    size_t ObjectInstanceCount(int32_t object) const override {
        size_t n = 0;
        for (const Entry& e : entries_) n += e.object == object ? 1 : 0;
        return n;
    }
    CScriptInstance* ObjectInstanceAt(int32_t object, size_t position) const override {
        for (const Entry& e : entries_)
            if (e.object == object && position-- == 0) return e.instance.get();
        return nullptr;
    }
    CScriptInstance* FindInstance(int32_t id) const override {
        const auto it = byId_.find(id);
        return it == byId_.end() || it->second->i_marked ? nullptr : it->second;
    }

private:
    struct Entry {
        std::unique_ptr<CScriptInstance> instance;
        int32_t object;
    };
    std::vector<Entry> entries_;
    std::unordered_map<int32_t, CScriptInstance*> byId_;
};

} // namespace kestrin
