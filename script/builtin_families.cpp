#include "script/builtin_families.h"

#include "graphics/function_graphics.h"
#include "graphics/function_text.h"
#include "graphics/room_draw.h"
#include "runner/event_dispatch.h"
#include "runner/function_datafile.h"
#include "runner/function_input.h"
#include "runner/game_variables.h"
#include "runner/main_loop.h"
#include "runner/world.h"
#include "script/errors.h"
#include "script/function_date.h"
#include "script/function_math.h"
#include "script/function_string.h"
#include "script/registry.h"
#include "script/scripts.h"
#include "script/variable_functions.h"
#include "world/ds_functions.h"
#include "world/function_interaction.h"
#include "world/function_sprite.h"

namespace kestrin {

void RegisterBuiltinFamilies() {
    // ORDER of modules: Function_Graphics, Function_Action, Function_Math,
    // Function_Interaction, Function_File, Function_Misc, Function_DPlay, Function_Game,
    // Function_Resource, Function_Particles, Function_Data_Structures, Function_Sound,
    // Function_3D. Families of modules not built yet join here in that order.
    RegisterFunctions(WindowFunctions());       // Function_Graphics
    RegisterFunctions(DrawFunctions());         // Function_Graphics
    RegisterFunctions(TextureFunctions());      // Function_Graphics
    RegisterFunctions(TextFunctions());         // Function_Graphics
    RegisterFunctions(TileFunctions());         // Function_Graphics
    RegisterFunctions(SpriteDrawFunctions());   // Function_Graphics
    RegisterFunctions(MathFunctions());         // Function_Math
    RegisterFunctions(StringFunctions());       // Function_Math
    RegisterFunctions(LoopFunctions());         // Function_Interaction
    RegisterFunctions(InteractionFunctions());  // Function_Interaction
    RegisterFunctions(IncludedFileFunctions()); // Function_File
    RegisterFunctions(InputFunctions());        // Function_Misc
    RegisterFunctions(ScriptFunctions());   // Function_Game (and the script_* of Function_Resource)
    RegisterFunctions(VariableFunctions()); // Function_Game
    RegisterFunctions(DateFunctions());     // Function_Game
    RegisterFunctions(RoomFunctions());     // Function_Game
    RegisterFunctions(EventFunctions());    // Function_Game
    RegisterFunctions(FontFunctions());     // Function_Resource
    RegisterFunctions(SpriteFunctions());   // Function_Resource
    RegisterFunctions(DataStructureFunctions()); // Function_Data_Structures

    BindArgumentVariables();
    BindInputVariables();
    BindErrorVariables();
    BindEventVariables();
    BindGameVariables();
    InstallErrorPath();
}

} // namespace kestrin
