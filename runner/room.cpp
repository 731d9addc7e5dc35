#include "runner/room.h"

#include "base/stream.h"
#include <limits>

#include "runner/object.h"

namespace kestrin {

namespace {

BackgroundSizeHook& BackgroundSize() {
    static BackgroundSizeHook hook = nullptr;
    return hook;
}

int32_t StoredBlend(uint32_t blendAlpha) {
    return static_cast<int32_t>(blendAlpha & 0xFFFFFFu);
}
double StoredAlpha(uint32_t blendAlpha) {
    return static_cast<double>(blendAlpha >> 24) / 255.0;
}

} // namespace

WorldIds& LastIds() {
    static WorldIds ids;
    return ids;
}

void SetBackgroundSizeHook(BackgroundSizeHook hook) {
    BackgroundSize() = hook;
}

bool BackgroundSizeOf(int32_t background, int32_t& width, int32_t& height) {
    return BackgroundSize() && BackgroundSize()(background, width, height);
}

RoomListChanges& ListChanges() {
    static RoomListChanges changes;
    return changes;
}

CRoom::~CRoom() {
    ++ListChanges().rebuilt;
}

void CRoom::Clear() {
    r_caption.clear();
    r_speed = 30;
    r_width = 640;
    r_height = 480;
    r_persistent = false;
    r_color = 12632256;
    r_showcolor = true;
    r_background.fill(CBack());
    r_enableviews = false;
    r_clearViewBackground = true;
    r_view.fill(CView());
    r_code.clear();
    ClearInstances();
    r_instance_deact.clear();
    ClearTiles();
}

void CRoom::Assign(const CRoom& other) {
    if (this == &other) return;
    r_caption = other.r_caption;
    r_speed = other.r_speed;
    r_width = other.r_width;
    r_height = other.r_height;
    r_persistent = other.r_persistent;
    r_color = other.r_color;
    r_showcolor = other.r_showcolor;
    r_background = other.r_background;
    r_enableviews = other.r_enableviews;
    r_clearViewBackground = other.r_clearViewBackground;
    r_view = other.r_view;
    r_code = other.r_code;
    auto copy = [](const std::vector<std::unique_ptr<CInstance>>& from,
                   std::vector<std::unique_ptr<CInstance>>& to) {
        to.clear();
        to.reserve(from.size());
        for (const auto& instance : from) {
            auto clone = std::make_unique<CInstance>();
            clone->Assign(*instance);
            to.push_back(std::move(clone));
        }
    };
    copy(other.r_instance, r_instance);
    copy(other.r_instance_deact, r_instance_deact);
    r_tile = other.r_tile;
    r_lasttile = other.r_lasttile;
    RebuildLists();
}

void CRoom::Assign(const RoomRecord& r) {
    Clear();
    r_caption = r.caption;
    r_width = r.width;
    r_height = r.height;
    r_speed = r.speed;
    r_persistent = r.persistent;
    r_color = r.colour;
    r_showcolor = (r.flags & 1) != 0;
    r_clearViewBackground = (r.flags & 2) == 0;
    r_code = r.code;
    for (size_t n = 0; n < r_background.size() && n < r.layers.size(); ++n) {
        const RoomRecord::Layer& l = r.layers[n];
        CBack& b = r_background[n];
        b.visible = l.visible;
        b.foreground = l.foreground;
        b.index = l.index;
        b.x = l.x;
        b.y = l.y;
        b.htiled = l.htiled;
        b.vtiled = l.vtiled;
        b.hspeed = l.hspeed;
        b.vspeed = l.vspeed;
        int32_t w = 0, h = 0;
        if (l.stretch && BackgroundSize() && BackgroundSize()(l.index, w, h)) {
            if (w > 0) b.xscale = static_cast<double>(r.width) / w;
            if (h > 0) b.yscale = static_cast<double>(r.height) / h;
        }
    }
    r_enableviews = r.enable_views;
    for (size_t n = 0; n < r_view.size() && n < r.views.size(); ++n) {
        const RoomRecord::View& v = r.views[n];
        CView& view = r_view[n];
        static_cast<RoomRecord::View&>(view) = v;
    }
    r_instance.reserve(r.instances.size());
    for (const RoomRecord::Instance& stored : r.instances) {
        auto instance = std::make_unique<CInstance>();
        instance->Create(stored.x, stored.y, stored.id, stored.object);
        instance->i_initcode = stored.code;
        instance->i_imagescalex = stored.xscale;
        instance->i_imagescaley = stored.yscale;
        instance->i_imageblend = static_cast<uint32_t>(StoredBlend(stored.blend_alpha));
        instance->i_imagealpha = StoredAlpha(stored.blend_alpha);
        instance->i_imageangle = stored.angle;
        instance->Compute_BoundingBox();
        r_instance.push_back(std::move(instance));
    }
    r_tile.reserve(r.tiles.size());
    for (const RoomRecord::Tile& stored : r.tiles) {
        RTile& t = r_tile.emplace_back();
        t.x = stored.x;
        t.y = stored.y;
        t.index = stored.background;
        t.xo = stored.xo;
        t.yo = stored.yo;
        t.w = stored.w;
        t.h = stored.h;
        t.depth = stored.depth;
        t.id = stored.id;
        t.xscale = stored.xscale;
        t.yscale = stored.yscale;
        t.blend = StoredBlend(stored.blend_alpha);
        t.alpha = StoredAlpha(stored.blend_alpha);
    }
    RebuildLists();
}

bool CRoom::LoadFromStream(CStream& in) {
    RoomRecord record;
    try {
        if (!record.LoadFromStream(in)) return false;
    } catch (const RunnerFault&) {
        return false;
    }
    Assign(record);
    return true;
}

// ---- Instances ----

CInstance* CRoom::AddInstance(double x, double y, int32_t objectind) {
    int32_t& last = LastIds().last_instance;
    if (last == std::numeric_limits<int32_t>::max()) return nullptr;
    return AddInstanceWithId(x, y, ++last, objectind);
}

CInstance* CRoom::AddInstanceWithId(double x, double y, int32_t id, int32_t objectind) {
    auto instance = std::make_unique<CInstance>();
    instance->Create(x, y, id, objectind);
    return AppendInstance(std::move(instance));
}

CInstance* CRoom::AppendInstance(std::unique_ptr<CInstance> instance) {
    CInstance* added = instance.get();
    r_instance.push_back(std::move(instance));
    AddToLists(added);
    return added;
}

void CRoom::ClearInstances() {
    r_instance.clear();
    RebuildLists();
}

const std::vector<CInstance*>* CRoom::ListOf(const std::vector<std::vector<CInstance*>>& lists,
                                             int32_t objind) {
    if (objind < 0 || static_cast<size_t>(objind) >= lists.size()) return nullptr;
    return &lists[static_cast<size_t>(objind)];
}

void CRoom::AddToLists(CInstance* instance) {
    by_id_[instance->i_id] = instance;
    instance->i_listorder = next_list_order_++;
    const CObjectTable& objects = Objects();
    int32_t objind = instance->i_objectindex;
    if (!objects.Exists(objind)) return;
    const auto need = static_cast<size_t>(objects.Count());
    if (obj_instance_.size() < need) {
        obj_instance_.resize(need);
        obj_instance_recursive_.resize(need);
    }
    obj_instance_[static_cast<size_t>(objind)].push_back(instance);
    // A parent cycle brings the walk back to a list that already ends with this instance.
    while (objind >= 0) {
        auto& list = obj_instance_recursive_[static_cast<size_t>(objind)];
        if (!list.empty() && list.back() == instance) break;
        list.push_back(instance);
        objind = objects.ParentOf(objind);
    }
}

void CRoom::RebuildLists() {
    obj_instance_.clear();
    obj_instance_recursive_.clear();
    by_id_.clear();
    next_list_order_ = 0;
    ++ListChanges().rebuilt;
    for (const auto& instance : r_instance) AddToLists(instance.get());
}

int32_t CRoom::Obj_Number(int32_t objind) const {
    const auto* list = ListOf(obj_instance_, objind);
    return list ? static_cast<int32_t>(list->size()) : 0;
}

CInstance* CRoom::Obj_Instance(int32_t objind, int32_t numb) const {
    const auto* list = ListOf(obj_instance_, objind);
    return list && numb >= 0 && static_cast<size_t>(numb) < list->size() ? (*list)[static_cast<size_t>(numb)]
                                                                         : nullptr;
}

int32_t CRoom::Obj_Number_Recursive(int32_t objind) const {
    const auto* list = ListOf(obj_instance_recursive_, objind);
    return list ? static_cast<int32_t>(list->size()) : 0;
}

CInstance* CRoom::Obj_Instance_Recursive(int32_t objind, int32_t numb) const {
    const auto* list = ListOf(obj_instance_recursive_, objind);
    return list && numb >= 0 && static_cast<size_t>(numb) < list->size() ? (*list)[static_cast<size_t>(numb)]
                                                                         : nullptr;
}

size_t CRoom::ObjectInstanceCount(int32_t object) const {
    return static_cast<size_t>(Obj_Number_Recursive(object));
}

CScriptInstance* CRoom::ObjectInstanceAt(int32_t object, size_t position) const {
    if (position > static_cast<size_t>(INT32_MAX)) return nullptr;
    return Obj_Instance_Recursive(object, static_cast<int32_t>(position));
}

CScriptInstance* CRoom::FindInstance(int32_t id) const {
    const auto it = by_id_.find(id);
    if (it != by_id_.end() && !it->second->i_marked) return it->second;
    // Ids repeat briefly while an instance changes object (the old one is marked); the
    // index holds the newest, so a marked hit falls back to the list.
    if (it == by_id_.end()) return nullptr;
    for (const auto& instance : r_instance)
        if (instance->i_id == id && !instance->i_marked) return instance.get();
    return nullptr;
}

void CRoom::SortInstances() {
    bool sorted = true;
    for (size_t i = 1; i < r_instance.size() && sorted; ++i)
        sorted = !(r_instance[i]->i_depth > r_instance[i - 1]->i_depth);
    if (sorted) return;
    ++ListChanges().reordered;
    for (size_t i = 1; i < r_instance.size(); ++i) {
        auto moving = std::move(r_instance[i]);
        size_t j = i;
        for (; j > 0 && r_instance[j - 1]->i_depth < moving->i_depth; --j)
            r_instance[j] = std::move(r_instance[j - 1]);
        r_instance[j] = std::move(moving);
    }
}

void CRoom::RemoveMarked() {
    const size_t before = r_instance.size();
    std::erase_if(r_instance, [](const std::unique_ptr<CInstance>& i) { return i->i_marked; });
    if (r_instance.size() != before) RebuildLists();
}

void CRoom::UpdateActive() {
    std::vector<std::unique_ptr<CInstance>> stay;
    for (auto& instance : r_instance_deact) {
        if (instance->i_deactivated)
            stay.push_back(std::move(instance));
        else
            r_instance.push_back(std::move(instance));
    }
    r_instance_deact = std::move(stay);
    std::vector<std::unique_ptr<CInstance>> active;
    for (auto& instance : r_instance) {
        if (instance->i_deactivated)
            r_instance_deact.push_back(std::move(instance));
        else
            active.push_back(std::move(instance));
    }
    r_instance = std::move(active);
    RebuildLists();
}

void CRoom::ScrollBackground() {
    for (CBack& b : r_background) {
        b.x += b.hspeed;
        b.y += b.vspeed;
    }
}

// ---- Tiles ----

int32_t CRoom::AddTile(const RTile& tile) {
    // Tile ids, too, never wrap to negative ones; once all are taken no tile is added.
    int32_t& last = LastIds().last_tile;
    if (last == std::numeric_limits<int32_t>::max()) return -1;
    RTile& added = r_tile.emplace_back(tile);
    added.id = ++last;
    r_lasttile = r_tnumb() - 1;
    return r_lasttile;
}

void CRoom::ClearTiles() {
    r_tile.clear();
    r_lasttile = -1;
}

void CRoom::DeleteTile(int32_t ind) {
    if (ind < 0 || ind >= r_tnumb()) return;
    r_tile.erase(r_tile.begin() + ind);
    r_lasttile = -1;
}

int32_t CRoom::FindTile(int32_t id) {
    if (r_lasttile >= 0 && r_lasttile < r_tnumb() && r_tile[static_cast<size_t>(r_lasttile)].id == id)
        return r_lasttile;
    for (int32_t i = 0; i < r_tnumb(); ++i)
        if (r_tile[static_cast<size_t>(i)].id == id) return r_lasttile = i;
    return -1;
}

namespace {

bool Under(const RTile& t, double x, double y, bool inclusive) {
    const double right = t.x + t.w * t.xscale, bottom = t.y + t.h * t.yscale;
    if (inclusive) return t.x <= x && x <= right && t.y <= y && y <= bottom;
    return t.x <= x && x < right && t.y <= y && y < bottom;
}

} // namespace

int32_t CRoom::FindTileAt(double x, double y, bool foreground) const {
    for (int32_t i = 0; i < r_tnumb(); ++i) {
        const RTile& t = r_tile[static_cast<size_t>(i)];
        if ((foreground ? t.depth < 0 : t.depth >= 0) && Under(t, x, y, false)) return i;
    }
    return -1;
}

void CRoom::DeleteTilesAt(double x, double y, bool foreground) {
    std::erase_if(r_tile, [&](const RTile& t) {
        return (foreground ? t.depth <= 0 : t.depth >= 0) && Under(t, x, y, true);
    });
    r_lasttile = -1;
}

void CRoom::SortTiles() {
    // Insertion keeps equal depths in order and never trusts a comparison with NaN.
    for (size_t i = 1; i < r_tile.size(); ++i) {
        RTile moving = r_tile[i];
        size_t j = i;
        for (; j > 0 && r_tile[j - 1].depth < moving.depth; --j) r_tile[j] = r_tile[j - 1];
        r_tile[j] = moving;
    }
    r_lasttile = -1;
}

void CRoom::HideTilesDepth(double depth) {
    for (RTile& t : r_tile)
        if (t.depth == depth) t.visible = false;
}

void CRoom::ShowTilesDepth(double depth) {
    for (RTile& t : r_tile)
        if (t.depth == depth) t.visible = true;
}

void CRoom::DeleteTilesDepth(double depth) {
    std::erase_if(r_tile, [&](const RTile& t) { return t.depth == depth; });
    r_lasttile = -1;
}

void CRoom::ShiftTilesDepth(double depth, double x, double y) {
    for (RTile& t : r_tile)
        if (t.depth == depth) {
            t.x += x;
            t.y += y;
        }
}

int32_t CRoom::FindTileAtDepth(double depth, double x, double y) const {
    for (int32_t i = 0; i < r_tnumb(); ++i) {
        const RTile& t = r_tile[static_cast<size_t>(i)];
        if (t.depth == depth && Under(t, x, y, false)) return i;
    }
    return -1;
}

void CRoom::DeleteTilesAtDepth(double depth, double x, double y) {
    std::erase_if(r_tile, [&](const RTile& t) { return t.depth == depth && Under(t, x, y, false); });
    r_lasttile = -1;
}

void CRoom::ChangeTilesDepth(double olddepth, double newdepth) {
    for (RTile& t : r_tile)
        if (t.depth == olddepth) t.depth = newdepth;
}

} // namespace kestrin
