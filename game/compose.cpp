#include "game/compose.h"

#include "graphics/background.h"
#include "graphics/font.h"
#include "graphics/function_background.h"
#include "graphics/function_3d.h"
#include "graphics/function_draw.h"
#include "graphics/function_font.h"
#include "graphics/function_highscore.h"
#include "graphics/function_particle.h"
#include "graphics/function_sprite.h"
#include "graphics/function_sprite_draw.h"
#include "graphics/function_text.h"
#include "graphics/function_texture.h"
#include "graphics/function_tile.h"
#include "graphics/function_transition.h"
#include "graphics/function_window.h"
#include "graphics/graphics_3d.h"
#include "graphics/graphics_window.h"
#include "graphics/model.h"
#include "graphics/particle.h"
#include "graphics/particle_effect.h"
#include "graphics/render_state.h"
#include "graphics/room_draw.h"
#include "graphics/sprite.h"
#include "graphics/transition.h"
#include "net/function_net.h"
#include "net/net_state.h"
#include "runner/event_dispatch.h"
#include "runner/function_datafile.h"
#include "runner/extension_main.h"
#include "runner/function_dialog.h"
#include "runner/function_event.h"
#include "runner/function_external.h"
#include "runner/function_file.h"
#include "runner/function_ini.h"
#include "runner/function_input.h"
#include "runner/function_loop.h"
#include "runner/function_object.h"
#include "runner/function_registry.h"
#include "runner/function_room.h"
#include "runner/function_stored_room.h"
#include "runner/game_variables.h"
#include "runner/game_world.h"
#include "runner/input_state.h"
#include "runner/instance.h"
#include "runner/main_loop.h"
#include "runner/object.h"
#include "runner/room.h"
#include "runner/saved_game.h"
#include "script/function_script.h"
#include "script/constants.h"
#include "script/errors.h"
#include "script/function_date.h"
#include "script/function_math.h"
#include "script/function_string.h"
#include "script/function_variable.h"
#include "script/registry.h"
#include "script/scripts.h"
#include "script/variables.h"
#include "sound/function_sound.h"
#include "sound/sound.h"
#include "sound/sound_system.h"
#include "world/action_support.h"
#include "world/collision.h"
#include "world/function_action.h"
#include "world/function_ds.h"
#include "world/function_interaction.h"
#include "world/function_mp.h"
#include "world/function_path.h"
#include "world/function_splash.h"
#include "world/function_timeline.h"
#include "world/path.h"
#include "world/path_follow.h"
#include "world/timeline.h"
#include "world/trigger.h"

namespace kestrin {

void RegisterBuiltinFamilies() {
    // ORDER of modules: Function_Graphics, Function_Action, Function_Math,
    // Function_Interaction, Function_File, Function_Misc, Function_DPlay, Function_Game,
    // Function_Resource, Function_Particles, Function_Data_Structures, Function_Sound,
    // Function_3D. Families of modules not built yet join here in that order; a test compares
    // the resulting table with the manifest's order.
    RegisterFunctions(WindowFunctions());         // Function_Graphics
    RegisterFunctions(DrawFunctions());           // Function_Graphics
    RegisterFunctions(TextureFunctions());        // Function_Graphics
    RegisterFunctions(TextFunctions());           // Function_Graphics
    RegisterFunctions(TileFunctions());           // Function_Graphics
    RegisterFunctions(SpriteDrawFunctions());     // Function_Graphics
    RegisterFunctions(PathDrawFunctions());       // Function_Graphics
    RegisterFunctions(ActionMoveFunctions());     // Function_Action
    RegisterFunctions(ActionInstanceFunctions()); // Function_Action
    RegisterFunctions(ActionQuestionFunctions()); // Function_Action
    RegisterFunctions(ActionGameFunctions());     // Function_Action
    RegisterFunctions(ActionDrawFunctions());     // Function_Action
    RegisterFunctions(ActionParticleFunctions()); // Function_Action
    RegisterFunctions(MathFunctions());           // Function_Math
    RegisterFunctions(StringFunctions());         // Function_Math
    RegisterFunctions(LoopFunctions());           // Function_Interaction
    RegisterFunctions(InteractionFunctions());    // Function_Interaction
    RegisterFunctions(RoomFunctions());           // Function_Interaction
    RegisterFunctions(PathFollowFunctions());     // Function_Interaction
    RegisterFunctions(SavedGameFunctions());      // Function_Interaction
    RegisterFunctions(MotionPlanningFunctions()); // Function_Interaction
    RegisterFunctions(TransitionFunctions());     // Function_Interaction
    RegisterFunctions(IncludedFileFunctions());   // Function_File
    RegisterFunctions(FileFunctions());           // Function_File
    RegisterFunctions(RegistryFunctions());       // Function_File
    RegisterFunctions(IniFunctions());            // Function_File
    RegisterFunctions(InputFunctions());          // Function_Misc
    RegisterFunctions(DialogFunctions());         // Function_Misc
    RegisterFunctions(HighscoreDrawFunctions());  // Function_Misc
    RegisterFunctions(SplashFunctions());         // Function_Misc
    RegisterFunctions(NetFunctions());            // Function_DPlay
    RegisterFunctions(ScriptFunctions());         // Function_Game
    RegisterFunctions(VariableFunctions());       // Function_Game
    RegisterFunctions(DateFunctions());           // Function_Game
    RegisterFunctions(EventFunctions());          // Function_Game
    RegisterFunctions(ExternalFunctions());       // Function_Game
    RegisterFunctions(ScriptResourceFunctions()); // Function_Resource
    RegisterFunctions(FontFunctions());           // Function_Resource
    RegisterFunctions(SpriteFunctions());         // Function_Resource
    RegisterFunctions(BackgroundFunctions());     // Function_Resource
    RegisterFunctions(ObjectFunctions());         // Function_Resource
    RegisterFunctions(StoredRoomFunctions());     // Function_Resource
    RegisterFunctions(PathFunctions());           // Function_Resource
    RegisterFunctions(TimeLineFunctions());       // Function_Resource
    RegisterFunctions(ParticleFunctions());       // Function_Particles
    RegisterFunctions(DataStructureFunctions());  // Function_Data_Structures
    RegisterFunctions(SoundFunctions());          // Function_Sound
    RegisterFunctions(ThreeDFunctions());         // Function_3D

    BindArgumentVariables();
    BindInputVariables();
    BindErrorVariables();
    BindEventVariables();
    BindGameVariables();
}

namespace {

const ModuleState kModuleStates[] = {
    // script/
    {"errors", ResetErrorState},
    {"event context", [] { CurrentEvent() = EventContext(); }},
    {"constants", ResetConstants},
    {"scripts", ClearScripts},
    {"globals", GlobalsInit},
    // runner/
    {"objects", [] {
         Objects().Clear();
         ResetRunningActions();
     }},
    {"world", [] {
         World().Clear();
         LastIds() = WorldIds();
     }},
    {"game values", ResetGameVariables},
    {"input",
     [] {
         // The platform sends the sticks again when it next sees them differ.
         CurrentInput().Clear();
         for (int32_t id = 0; id < kJoystickCount; ++id) CurrentInput().SetJoystick(id, {});
     }},
    {"files", ResetFileState},
    {"registry root", ResetRegistryState},
    {"ini file", ResetIniState},
    {"extensions", ResetExtensions},
    {"dialogs", ResetDialogState},
    // graphics/
    {"fonts", Font_ClearAll},
    {"sprites", Sprite_ClearAll},
    {"backgrounds", Background_ClearAll},
    {"particles", Particle_ClearAll},
    {"3d", [] {
         D3D_Reset();
         Model_ClearAll();
     }},
    {"transitions", Transition_Reset},
    // sound/
    {"sounds", [] {
         Sound_ClearAll();
         SND_Reset();
     }},
    // net/
    {"multiplayer", Net_Reset},
    // world/
    {"paths", Path_ClearAll},
    {"time lines", TimeLine_ClearAll},
    {"triggers", Trigger_ClearAll},
    {"data structures", ResetDataStructures},
    {"motion planning", ResetMotionPlanning},
    {"action library", ResetActionState},
    {"splash screens", ResetSplashModule},
};

} // namespace

std::span<const ModuleState> ModuleStates() {
    return kModuleStates;
}

void ResetModuleStates() {
    for (const ModuleState& state : kModuleStates) state.reset();
}

void ComposeGame() {
    // script/
    SetBuiltinRegistrar(RegisterBuiltinFamilies);
    InstallErrorPath();
    // runner/ learns what it needs of sprites (graphics/) and of collision geometry (world/).
    SetInstanceSpriteHooks({Sprite_ImageCount, ComputeInstanceBox, Sprite_Geometry});
    // graphics/
    InstallRoomDrawing();
    SetRoomParticleSource({Particle_DepthBelow, Particle_DrawAt});
    // Dialogs measure and show backgrounds and sprites.
    SetDialogResourceHooks({
        Background_Exists,
        Sprite_Exists,
        [](int32_t ind) -> const TBitmap32* {
            const CBackground* back = Background_Get(ind);
            return back && !back->Bitmap().Empty() ? &back->Bitmap() : nullptr;
        },
        [](int32_t ind, int32_t image) -> const TBitmap32* {
            const CSprite* sprite = Sprite_Get(ind);
            if (!sprite || image < 0 || static_cast<size_t>(image) >= sprite->i_bitmap.size()) return nullptr;
            return &sprite->i_bitmap[static_cast<size_t>(image)];
        },
    });
    // world/
    InstallCollision();
    // The step's motion phase (and a solid collision's second move) advances paths.
    DispatchHooks dispatch = CurrentDispatchHooks();
    dispatch.advance_path = Adapt_Path;
    // Triggers run just before each step moment's event.
    dispatch.triggers = Trigger_Evaluate;
    dispatch.trigger_count = Trigger_Count;
    SetDispatchHooks(dispatch);
    // Saved games keep the drawing flag that set_automatic_draw sets.
    SetSavedGameHooks({AutomaticDraw, SetAutomaticDraw, nullptr});
    // The world's hooks into the layers above it.
    WorldHooks& hooks = World().hooks;
    hooks.clear_input = [] { CurrentInput().Clear(); };
    hooks.extensions_init = [] { return Extensions().Init(); };
    hooks.extensions_final = [] { return Extensions().Final(); };
    hooks.clear_effects = Effect_Clear;
    hooks.resize_window = [](int32_t width, int32_t height) {
        Window_RoomStart(false, nullptr, 0, width, height);
    };
    // Without a device (headless) the frame calls do nothing.
    // The room change's first frame: a transition captured when the old room was left shows
    // its frames instead of the plain present.
    hooks.capture_transition = [] { Transition_Start(World().transition_kind); };
    hooks.drop_transition = Transition_Drop;
    hooks.draw_room = [] {
        Room_Draw();
        Transition_Run();
        (void)RenderState_Start_Frame();
    };
}

void NameResourcesInErrors(ErrorHooks& hooks) {
    hooks.object_name = [](int32_t index, std::string& name) {
        if (!Objects().Exists(index)) return false;
        name = std::string(Objects().Name(index));
        return true;
    };
    hooks.timeline_name = [](int32_t index, std::string& name) {
        if (!TimeLine_Exists(index)) return false;
        name = TimeLine_GetName(index);
        return true;
    };
    hooks.trigger_name = [](int32_t index, std::string& name) {
        if (!Trigger_Exists(index)) return false;
        name = Trigger_GetName(index);
        return true;
    };
}

void ComposeMainLoop(MainLoop& loop) {
    loop.hooks.network = Net_Service;
    loop.hooks.timelines = TimeLine_AdvanceAll;
    loop.hooks.load_game = [](const std::string& file) { (void)Game_Load(file); };
    loop.hooks.particles = Particle_UpdateAutomatic;
    // A splash that holds the game stops the step; one beside the game hears its clicks here.
    loop.hooks.gate = Splash_Gate;
    loop.hooks.show_frame = [] {
        Splash_DrawFrame();
        (void)RenderState_End_Frame();
        (void)RenderState_Start_Frame();
    };
    // set_automatic_draw takes effect from the drawing of the step it was called in.
    loop.hooks.draw_room = [&loop] {
        loop.state.automatic_draw = AutomaticDraw();
        if (loop.state.automatic_draw) Room_Draw();
    };
}

} // namespace kestrin
