#include "platform/sdl/sdl_gamepads.h"

#include <algorithm>

#include "runner/input_record.h"

namespace kestrin {

namespace {

// SDL's signed axis (-32768..32767) as the system's unsigned one (0..65535).
uint32_t Unsigned(Sint16 v) {
    return static_cast<uint32_t>(static_cast<int32_t>(v) + 32768);
}

// A hat position as a point-of-view angle in hundredths of a degree (65535: centred).
uint32_t PovOf(bool up, bool right, bool down, bool left) {
    if (up && right) return 4500;
    if (right && down) return 13500;
    if (down && left) return 22500;
    if (left && up) return 31500;
    if (up) return 0;
    if (right) return 9000;
    if (down) return 18000;
    if (left) return 27000;
    return 65535;
}

} // namespace

JoystickState ControllerState(SDL_GameController* pad) {
    JoystickState j;
    j.available = true;
    const char* name = SDL_GameControllerName(pad);
    j.name = name ? name : "Gamepad";
    j.axes = 5;
    j.buttons = 10;
    j.has_pov = true;
    auto axis = [pad](SDL_GameControllerAxis a) { return SDL_GameControllerGetAxis(pad, a); };
    j.axis[0] = Unsigned(axis(SDL_CONTROLLER_AXIS_LEFTX));
    j.axis[1] = Unsigned(axis(SDL_CONTROLLER_AXIS_LEFTY));
    // Triggers read 0..32767; together they make one axis centred when neither is pulled.
    const int32_t z = 32767 + axis(SDL_CONTROLLER_AXIS_TRIGGERLEFT) - axis(SDL_CONTROLLER_AXIS_TRIGGERRIGHT);
    j.axis[2] = static_cast<uint32_t>(std::clamp(z, 0, 65535));
    j.axis[3] = Unsigned(axis(SDL_CONTROLLER_AXIS_RIGHTY));
    j.axis[4] = Unsigned(axis(SDL_CONTROLLER_AXIS_RIGHTX));
    constexpr SDL_GameControllerButton kButtons[] = {
        SDL_CONTROLLER_BUTTON_A,          SDL_CONTROLLER_BUTTON_B,         SDL_CONTROLLER_BUTTON_X,
        SDL_CONTROLLER_BUTTON_Y,          SDL_CONTROLLER_BUTTON_LEFTSHOULDER, SDL_CONTROLLER_BUTTON_RIGHTSHOULDER,
        SDL_CONTROLLER_BUTTON_BACK,       SDL_CONTROLLER_BUTTON_START,     SDL_CONTROLLER_BUTTON_LEFTSTICK,
        SDL_CONTROLLER_BUTTON_RIGHTSTICK,
    };
    for (size_t i = 0; i < std::size(kButtons); ++i)
        if (SDL_GameControllerGetButton(pad, kButtons[i])) j.button_bits |= 1u << i;
    auto held = [pad](SDL_GameControllerButton b) { return SDL_GameControllerGetButton(pad, b) != 0; };
    j.pov = PovOf(held(SDL_CONTROLLER_BUTTON_DPAD_UP), held(SDL_CONTROLLER_BUTTON_DPAD_RIGHT),
                  held(SDL_CONTROLLER_BUTTON_DPAD_DOWN), held(SDL_CONTROLLER_BUTTON_DPAD_LEFT));
    return j;
}

JoystickState RawJoystickState(SDL_Joystick* stick) {
    JoystickState j;
    j.available = true;
    const char* name = SDL_JoystickName(stick);
    j.name = name ? name : "Joystick";
    j.axes = std::clamp(SDL_JoystickNumAxes(stick), 0, 6);
    j.buttons = std::clamp(SDL_JoystickNumButtons(stick), 0, 32);
    j.has_pov = SDL_JoystickNumHats(stick) > 0;
    for (int i = 0; i < j.axes; ++i) j.axis[size_t(i)] = Unsigned(SDL_JoystickGetAxis(stick, i));
    for (int i = 0; i < j.buttons; ++i)
        if (SDL_JoystickGetButton(stick, i)) j.button_bits |= 1u << i;
    if (j.has_pov) {
        const Uint8 hat = SDL_JoystickGetHat(stick, 0);
        j.pov = PovOf(hat & SDL_HAT_UP, hat & SDL_HAT_RIGHT, hat & SDL_HAT_DOWN, hat & SDL_HAT_LEFT);
    }
    return j;
}

SdlGamepads::SdlGamepads() {
    // Without the subsystem (no permission for the devices, say) the game has no joysticks.
    ready_ = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
}

SdlGamepads::~SdlGamepads() {
    for (Slot& slot : slots_) Close(slot);
    if (ready_) SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
}

void SdlGamepads::Close(Slot& slot) {
    if (slot.pad)
        SDL_GameControllerClose(slot.pad);
    else if (slot.stick)
        SDL_JoystickClose(slot.stick);
    slot = Slot{};
}

bool SdlGamepads::IsOpen(SDL_JoystickID id) const {
    for (const Slot& slot : slots_)
        if (slot.stick && slot.id == id) return true;
    return false;
}

void SdlGamepads::Poll() {
    if (!ready_) return;
    SDL_GameControllerUpdate();
    for (Slot& slot : slots_)
        if (slot.stick && !SDL_JoystickGetAttached(slot.stick)) Close(slot);
    const int count = SDL_NumJoysticks();
    for (Slot& slot : slots_) {
        if (slot.stick) continue;
        for (int i = 0; i < count; ++i) {
            if (IsOpen(SDL_JoystickGetDeviceInstanceID(i))) continue;
            if (SDL_IsGameController(i)) {
                slot.pad = SDL_GameControllerOpen(i);
                slot.stick = slot.pad ? SDL_GameControllerGetJoystick(slot.pad) : nullptr;
            } else {
                slot.stick = SDL_JoystickOpen(i);
            }
            if (slot.stick) {
                slot.id = SDL_JoystickInstanceID(slot.stick);
                break;
            }
            Close(slot);
        }
    }
    for (int32_t k = 0; k < kJoystickCount; ++k) {
        JoystickState state = State(k);
        if (state == CurrentInput().Joystick(k)) continue;
        InputEvent event(InputEventKind::Joystick, k);
        event.joystick = std::move(state);
        CurrentInputSink().Deliver(std::move(event));
    }
}

JoystickState SdlGamepads::State(int32_t slot) const {
    if (slot < 0 || slot >= kJoystickCount) return {};
    const Slot& s = slots_[size_t(slot)];
    if (s.pad) return ControllerState(s.pad);
    if (s.stick) return RawJoystickState(s.stick);
    return {};
}

} // namespace kestrin
