#pragma once
// CRoom: a level as stored in the game data and as it runs: size, speed, caption, colour,
// eight background layers, eight views, its instances (active and deactivated, with lists
// per object), its tiles and its creation code.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "runner/instance.h"
#include "runner/room_record.h"
#include "script/variables.h"

namespace kestrin {

class CStream;

struct CBack {
    bool visible = false;
    bool foreground = false;
    int32_t index = -1;
    double x = 0, y = 0;
    bool htiled = true, vtiled = true;
    double hspeed = 0, vspeed = 0;
    double xscale = 1, yscale = 1;
    int32_t blend = 0xFFFFFF;
    double alpha = 1;
};

// A view as it runs: the stored fields, which are also its built-in variables, and the angle
// scripts may set.
struct CView : RoomRecord::View {
    double angle = 0;
};

struct RTile {
    double x = 0, y = 0;
    int32_t index = -1;
    int32_t xo = 0, yo = 0, w = 0, h = 0;
    double depth = 0;
    int32_t id = 0;
    double xscale = 1, yscale = 1;
    int32_t blend = 0xFFFFFF;
    double alpha = 1;
    bool visible = true;
};

// The last instance and tile identifiers in use: read with the rooms, advanced whenever an
// instance or tile is added at run time, never handed out twice.
struct WorldIds {
    int32_t last_instance = 100000;
    int32_t last_tile = 10000000;
};
// The largest last instance id a game may store: the ids after it are what instances made at
// run time take, and a game must not start with next to none left.
inline constexpr int32_t kMaxStoredLastInstanceId = 2000000000;
WorldIds& LastIds();

// The size of a background resource, which lives elsewhere; unset, none exists.
using BackgroundSizeHook = bool (*)(int32_t background, int32_t& width, int32_t& height);
void SetBackgroundSizeHook(BackgroundSizeHook hook);
// The size of a background through the hook; false when it is unset or the background is missing.
bool BackgroundSizeOf(int32_t background, int32_t& width, int32_t& height);

// Counts of the changes an index over the running room's instances must follow: lists
// rebuilt (instances may have been freed, list order restarted) and the active list reordered
// by depth.
struct RoomListChanges {
    uint64_t rebuilt = 0;
    uint64_t reordered = 0;
};
RoomListChanges& ListChanges();

class CRoom : public InstanceWorld {
public:
    std::string r_caption;
    int32_t r_speed = 30;
    int32_t r_width = 640, r_height = 480;
    bool r_persistent = false;
    int32_t r_color = 12632256;
    bool r_showcolor = true;
    std::array<CBack, kRoomLayerCount> r_background;
    bool r_enableviews = false;
    bool r_clearViewBackground = true;
    std::array<CView, kRoomViewCount> r_view;
    std::string r_code;
    std::vector<std::unique_ptr<CInstance>> r_instance;
    std::vector<std::unique_ptr<CInstance>> r_instance_deact;
    std::vector<RTile> r_tile;
    int32_t r_lasttile = -1;

    CRoom() = default;
    ~CRoom() override;
    CRoom(const CRoom&) = delete;
    CRoom& operator=(const CRoom&) = delete;

    void Create() { Clear(); }
    void Clear();
    // A deep copy: every field, layer, view, instance (through CInstance::Assign) and tile.
    void Assign(const CRoom& other);
    void Destroy() { Clear(); }
    void Assign(const RoomRecord& record);
    // The room record; false for a damaged one. StreamError never escapes.
    [[nodiscard]] bool LoadFromStream(CStream& in);

    int32_t r_numb() const { return static_cast<int32_t>(r_instance.size()); }
    int32_t r_numb_deact() const { return static_cast<int32_t>(r_instance_deact.size()); }
    int32_t r_tnumb() const { return static_cast<int32_t>(r_tile.size()); }

    // A new instance with the next identifier, appended to the lists. No event runs. Null
    // when every identifier is taken: they are never reused, and past the largest integer
    // they would wrap to negative ids that find nothing.
    CInstance* AddInstance(double x, double y, int32_t objectind);
    // A new instance with the given identifier; it uses up none.
    CInstance* AddInstanceWithId(double x, double y, int32_t id, int32_t objectind);
    // Appends an instance made elsewhere (loading, carrying) to the lists.
    CInstance* AppendInstance(std::unique_ptr<CInstance> instance);
    void ClearInstances();

    int32_t Obj_Number(int32_t objind) const;
    CInstance* Obj_Instance(int32_t objind, int32_t numb) const;
    int32_t Obj_Number_Recursive(int32_t objind) const;
    CInstance* Obj_Instance_Recursive(int32_t objind, int32_t numb) const;

    void SortInstances();
    void RemoveMarked();
    void UpdateActive();
    void ScrollBackground();
    // Rebuilds the per-object lists and the id index from the active list.
    void RebuildLists();

    // Tiles.
    int32_t AddTile(const RTile& tile);
    void ClearTiles();
    void DeleteTile(int32_t ind);
    int32_t FindTile(int32_t id);
    int32_t FindTileAt(double x, double y, bool foreground) const;
    void DeleteTilesAt(double x, double y, bool foreground);
    void SortTiles();
    void HideTilesDepth(double depth);
    void ShowTilesDepth(double depth);
    void DeleteTilesDepth(double depth);
    void ShiftTilesDepth(double depth, double x, double y);
    int32_t FindTileAtDepth(double depth, double x, double y) const;
    void DeleteTilesAtDepth(double depth, double x, double y);
    void ChangeTilesDepth(double olddepth, double newdepth);

    // InstanceWorld: the active list and the recursive per-object lists.
    size_t InstanceCount() const override { return r_instance.size(); }
    CScriptInstance* InstanceAt(size_t position) const override {
        return position < r_instance.size() ? r_instance[position].get() : nullptr;
    }
    size_t ObjectInstanceCount(int32_t object) const override;
    CScriptInstance* ObjectInstanceAt(int32_t object, size_t position) const override;
    CScriptInstance* FindInstance(int32_t id) const override;

private:
    void AddToLists(CInstance* instance);
    static const std::vector<CInstance*>* ListOf(const std::vector<std::vector<CInstance*>>& lists,
                                                 int32_t objind);

    std::vector<std::vector<CInstance*>> obj_instance_;
    std::vector<std::vector<CInstance*>> obj_instance_recursive_;
    std::unordered_map<int32_t, CInstance*> by_id_;
    uint32_t next_list_order_ = 0;
};

} // namespace kestrin
