#include "platform/ui/debug_window.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <epoxy/gl.h>
#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <fstream>
#include <vector>

#include "debug/debug_messages.h"
#include "debug/debug_model.h"
#include "platform/sdl/sdl_window.h"

namespace kestrin {

namespace {

// Lines end in CR LF in the windows' texts; ImGui draws a lone CR as a glyph.
std::string Displayed(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '\r') out += c;
    return out;
}

enum class Prompt { None, AddWatch, ChangeWatch, Execute, Speed, Local, LoadWatches, SaveWatches, SaveText };

// At most this often the window is drawn while the game runs; stepping back to back (a fast
// run) must not spend its time drawing the debugger.
constexpr Uint32 kFrameMillis = 16;
// How long a paused pass waits, so a paused game does not spin a core.
constexpr Uint32 kPausedMillis = 15;

class ImGuiDebugView : public DebugView {
public:
    explicit ImGuiDebugView(DebugModel& model) : model_(model) {}

    ~ImGuiDebugView() override {
        SDL_DelEventWatch(&ImGuiDebugView::Watch, this);
        if (imgui_) {
            ImGuiContext* previous = ImGui::GetCurrentContext();
            SDL_Window* window = SDL_GL_GetCurrentWindow();
            SDL_GLContext context = SDL_GL_GetCurrentContext();
            SDL_GL_MakeCurrent(window_, gl_);
            ImGui::SetCurrentContext(imgui_);
            ImGui_ImplOpenGL3_Shutdown();
            ImGui_ImplSDL2_Shutdown();
            ImGui::DestroyContext(imgui_);
            ImGui::SetCurrentContext(previous == imgui_ ? nullptr : previous);
            SDL_GL_MakeCurrent(window, context);
        }
        if (gl_) SDL_GL_DeleteContext(gl_);
        if (window_) SDL_DestroyWindow(window_);
        if (video_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    bool Open(std::string& error) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            error = SDL_GetError();
            return false;
        }
        video_ = true;
        SDL_Window* gameWindow = SDL_GL_GetCurrentWindow();
        SDL_GLContext gameContext = SDL_GL_GetCurrentContext();
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
        SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
        window_ =
            SDL_CreateWindow(msg::kDebugCaption, 10, 10, 560, 520, SDL_WINDOW_OPENGL | SDL_WINDOW_RESIZABLE);
        if (!window_) {
            error = SDL_GetError();
            return false;
        }
        gl_ = SDL_GL_CreateContext(window_);
        if (!gl_) {
            error = SDL_GetError();
            SDL_GL_MakeCurrent(gameWindow, gameContext);
            return false;
        }
        SDL_GL_MakeCurrent(window_, gl_);
        // The game's frame pacing must not wait on this window's buffer swaps.
        SDL_GL_SetSwapInterval(0);
        ImGuiContext* previous = ImGui::GetCurrentContext();
        imgui_ = ImGui::CreateContext();
        ImGui::SetCurrentContext(imgui_);
        ImGui::GetIO().IniFilename = nullptr;
        // The mouse cursor is the game's to show, hide or change.
        ImGui::GetIO().ConfigFlags |= ImGuiConfigFlags_NoMouseCursorChange;
        ImGui::StyleColorsLight();
        const bool ok =
            ImGui_ImplSDL2_InitForOpenGL(window_, gl_) && ImGui_ImplOpenGL3_Init("#version 330 core");
        ImGui::SetCurrentContext(previous);
        SDL_GL_MakeCurrent(gameWindow, gameContext);
        if (!ok) {
            error = "the debug window's drawing could not start";
            return false;
        }
        id_ = SDL_GetWindowID(window_);
        SDL_AddEventWatch(&ImGuiDebugView::Watch, this);
        model_.Refresh();
        return true;
    }

    void Frame() override {
        PerformShortcuts();
        if (!model_.WindowShown()) {
            if (SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN) SDL_HideWindow(window_);
            events_.clear();
            return;
        }
        const Uint32 now = SDL_GetTicks();
        if (!model_.Paused() && now - last_frame_ < kFrameMillis) return;
        last_frame_ = now;
        // What the window's timer does: the instance under the mouse follows it even when paused.
        model_.UpdateMouseId();

        ImGuiContext* previous = ImGui::GetCurrentContext();
        SDL_Window* gameWindow = SDL_GL_GetCurrentWindow();
        SDL_GLContext gameContext = SDL_GL_GetCurrentContext();
        ImGui::SetCurrentContext(imgui_);
        SDL_GL_MakeCurrent(window_, gl_);
        for (const SDL_Event& e : events_) ImGui_ImplSDL2_ProcessEvent(&e);
        events_.clear();
        ImGui_ImplOpenGL3_NewFrame();
        ImGui_ImplSDL2_NewFrame();
        ImGui::NewFrame();
        Draw();
        ImGui::Render();
        int width = 0, height = 0;
        SDL_GL_GetDrawableSize(window_, &width, &height);
        glViewport(0, 0, width, height);
        glClearColor(0.92f, 0.92f, 0.92f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        SDL_GL_SwapWindow(window_);
        SDL_GL_MakeCurrent(gameWindow, gameContext);
        ImGui::SetCurrentContext(previous);
        if (model_.Paused()) SDL_Delay(kPausedMillis);
    }

private:
    // Sees every event as SDL queues it: this window's go to ImGui, and the shortcuts the
    // game window forwards are noted for the next frame. The game's pump skips this window's.
    static int Watch(void* data, SDL_Event* e) {
        auto* self = static_cast<ImGuiDebugView*>(data);
        const uint32_t window = SdlEventWindowId(*e);
        if (e->type == SDL_KEYDOWN && window != 0 && !e->key.repeat)
            self->NoteShortcut(e->key.keysym, window);
        if (window != self->id_) return 1;
        if (e->type == SDL_WINDOWEVENT && e->window.event == SDL_WINDOWEVENT_CLOSE)
            self->close_ = true;
        else if (self->events_.size() < 4096)
            self->events_.push_back(*e);
        return 1;
    }

    void NoteShortcut(const SDL_Keysym& key, uint32_t window) {
        const bool ctrl = (key.mod & KMOD_CTRL) != 0, alt = (key.mod & KMOD_ALT) != 0;
        if (ctrl && alt) {
            switch (key.sym) {
            case SDLK_r:
                pending_.push_back(DebugAction::Run);
                break;
            case SDLK_p:
                pending_.push_back(DebugAction::Pause);
                break;
            case SDLK_s:
                pending_.push_back(DebugAction::Step);
                break;
            case SDLK_n:
                pending_.push_back(DebugAction::Restart);
                break;
            default:
                break;
            }
        } else if (ctrl && key.sym == SDLK_e && window != id_) {
            // In its own window ImGui sees Ctrl+E as a shortcut of the menu.
            execute_shortcut_ = true;
        } else if (alt && key.sym == SDLK_F4 && window == id_) {
            pending_.push_back(DebugAction::Stop);
        }
    }

    void PerformShortcuts() {
        std::vector<DebugAction> actions;
        actions.swap(pending_);
        for (DebugAction action : actions) (void)model_.Perform(action);
        if (close_) {
            close_ = false;
            model_.CloseWindow();
        }
        if (execute_shortcut_) {
            execute_shortcut_ = false;
            model_.ShowWindow();
            if (!(SDL_GetWindowFlags(window_) & SDL_WINDOW_SHOWN)) SDL_ShowWindow(window_);
            Ask(Prompt::Execute, model_.LastExecuted());
        }
    }

    void Ask(Prompt prompt, std::string answer = {}) {
        prompt_ = prompt;
        answer_ = std::move(answer);
        open_prompt_ = true;
    }

    size_t WatchCount() const { return model_.Watches().size(); }

    void DoAction(const char* caption, const char* shortcut, DebugAction action) {
        if (ImGui::MenuItem(caption, shortcut, false, model_.Enabled(action))) (void)model_.Perform(action);
    }

    void Menus() {
        if (!ImGui::BeginMenuBar()) return;
        if (ImGui::BeginMenu("Run")) {
            DoAction("Run", "Ctrl+Alt+R", DebugAction::Run);
            DoAction("Pause", "Ctrl+Alt+P", DebugAction::Pause);
            DoAction("Step", "Ctrl+Alt+S", DebugAction::Step);
            DoAction("Stop", "Alt+F4", DebugAction::Stop);
            DoAction("Restart", "Ctrl+Alt+N", DebugAction::Restart);
            ImGui::EndMenu();
        }
        if (ImGui::BeginMenu("Watches")) {
            if (ImGui::MenuItem("Add", "Ctrl+A")) Ask(Prompt::AddWatch);
            if (ImGui::MenuItem("Delete", "Del")) (void)model_.DeleteWatch(selected_);
            if (ImGui::MenuItem("Change", "Ctrl+H")) ChangeSelected();
            if (ImGui::MenuItem("Clear", "Ctrl+C")) model_.ClearWatches();
            if (ImGui::MenuItem("Load ...", "Ctrl+L")) Ask(Prompt::LoadWatches);
            if (ImGui::MenuItem("Save ...", "Ctrl+S")) Ask(Prompt::SaveWatches);
            ImGui::EndMenu();
        }
        if (ImGui::BeginMenu("Tools")) {
            if (ImGui::MenuItem("Execute Code ...", "Ctrl+E")) Ask(Prompt::Execute, model_.LastExecuted());
            if (ImGui::MenuItem("Set Speed ...")) Ask(Prompt::Speed, std::to_string(model_.RoomSpeed()));
            if (ImGui::MenuItem("Show Global Variables")) model_.ShowGlobal();
            if (ImGui::MenuItem("Show Instances")) model_.ShowInstances();
            if (ImGui::MenuItem("Show Local Variables")) Ask(Prompt::Local);
            if (ImGui::MenuItem("Show Messages")) model_.ShowMessages();
            ImGui::EndMenu();
        }
        ImGui::EndMenuBar();
    }

    void ChangeSelected() {
        if (selected_ >= WatchCount())
            Ask(Prompt::AddWatch);
        else
            Ask(Prompt::ChangeWatch, model_.Watches()[selected_].expression);
    }

    void ToolButton(const char* caption, DebugAction action) {
        ImGui::BeginDisabled(!model_.Enabled(action));
        if (ImGui::Button(caption)) (void)model_.Perform(action);
        ImGui::EndDisabled();
        ImGui::SameLine();
    }

    void Toolbar() {
        ToolButton("Run", DebugAction::Run);
        ToolButton("Pause", DebugAction::Pause);
        ToolButton("Step", DebugAction::Step);
        ToolButton("Stop", DebugAction::Stop);
        ToolButton("Restart", DebugAction::Restart);
        ImGui::TextUnformatted("|");
        ImGui::SameLine();
        if (ImGui::Button("Add")) Ask(Prompt::AddWatch);
        ImGui::SameLine();
        if (ImGui::Button("Delete")) (void)model_.DeleteWatch(selected_);
        ImGui::SameLine();
        if (ImGui::Button("Change")) ChangeSelected();
        ImGui::SameLine();
        if (ImGui::Button("Execute")) Ask(Prompt::Execute, model_.LastExecuted());
    }

    void WatchGrid(float height) {
        const ImGuiTableFlags flags = ImGuiTableFlags_Borders | ImGuiTableFlags_RowBg |
                                      ImGuiTableFlags_ScrollY | ImGuiTableFlags_Resizable;
        if (!ImGui::BeginTable("watches", 2, flags, ImVec2(0, height))) return;
        ImGui::TableSetupScrollFreeze(0, 1);
        ImGui::TableSetupColumn(msg::kHeaderExpression);
        ImGui::TableSetupColumn(msg::kHeaderValue);
        ImGui::TableHeadersRow();
        const auto& watches = model_.Watches();
        if (selected_ > watches.size()) selected_ = watches.size();
        // The last row is always the empty one where a new watch goes.
        for (size_t row = 0; row <= watches.size(); ++row) {
            ImGui::TableNextRow();
            ImGui::TableSetColumnIndex(0);
            ImGui::PushID(static_cast<int>(row));
            if (ImGui::Selectable("##row", selected_ == row,
                                  ImGuiSelectableFlags_SpanAllColumns |
                                      ImGuiSelectableFlags_AllowDoubleClick)) {
                selected_ = row;
                if (ImGui::IsMouseDoubleClicked(0)) ChangeSelected();
            }
            ImGui::PopID();
            if (row < watches.size()) {
                ImGui::SameLine();
                ImGui::TextUnformatted(watches[row].expression.c_str());
            }
            ImGui::TableSetColumnIndex(1);
            if (row < watches.size()) ImGui::TextUnformatted(watches[row].value.c_str());
        }
        ImGui::EndTable();
    }

    void StatusBar() {
        ImGui::Separator();
        ImGui::TextUnformatted(model_.FpsPanel().c_str());
        ImGui::SameLine(120);
        ImGui::TextUnformatted(model_.InstancePanel().c_str());
        ImGui::SameLine(240);
        ImGui::TextUnformatted(model_.MousePanel().c_str());
    }

    // One read-only text window; `follow` keeps the end in view when a line arrives and the
    // view was at the end.
    void TextWindow(DebugTextWindow& window, const std::string& id, size_t place, bool follow) {
        if (!window.visible) return;
        // Staggered, so that a new window does not hide the ones before it.
        const float offset = 24.0f * static_cast<float>(place % 12);
        ImGui::SetNextWindowPos(ImVec2(40 + offset, 70 + offset), ImGuiCond_FirstUseEver);
        ImGui::SetNextWindowSize(ImVec2(360, 300), ImGuiCond_FirstUseEver);
        const std::string title = window.caption + "###" + id;
        if (ImGui::Begin(title.c_str(), &window.visible)) {
            if (ImGui::Button("Save")) {
                save_text_ = window.text;
                Ask(Prompt::SaveText);
            }
            ImGui::BeginChild("text", ImVec2(0, 0), true, ImGuiWindowFlags_HorizontalScrollbar);
            const bool atEnd = ImGui::GetScrollY() >= ImGui::GetScrollMaxY();
            ImGui::TextUnformatted(Displayed(window.text).c_str());
            if (follow && atEnd && !ImGui::IsWindowFocused()) ImGui::SetScrollHereY(1.0f);
            ImGui::EndChild();
        }
        ImGui::End();
    }

    void Keys() {
        if (ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopup) || ImGui::GetIO().WantTextInput) return;
        const ImGuiIO& io = ImGui::GetIO();
        auto pressed = [](SDL_Scancode code) { return ImGui::IsKeyPressed(code, false); };
        if (io.KeyCtrl && !io.KeyAlt) {
            if (pressed(SDL_SCANCODE_A)) Ask(Prompt::AddWatch);
            if (pressed(SDL_SCANCODE_H)) ChangeSelected();
            if (pressed(SDL_SCANCODE_C)) model_.ClearWatches();
            if (pressed(SDL_SCANCODE_L)) Ask(Prompt::LoadWatches);
            if (pressed(SDL_SCANCODE_S)) Ask(Prompt::SaveWatches);
            if (pressed(SDL_SCANCODE_E)) Ask(Prompt::Execute, model_.LastExecuted());
        }
        if (!io.KeyCtrl && pressed(SDL_SCANCODE_DELETE)) (void)model_.DeleteWatch(selected_);
    }

    void Prompts() {
        const char* caption = "";
        const char* text = "";
        switch (prompt_) {
        case Prompt::AddWatch:
        case Prompt::ChangeWatch:
            caption = msg::kWatchAskCaption;
            text = msg::kWatchAskPrompt;
            break;
        case Prompt::Execute:
            caption = msg::kExecuteAskCaption;
            text = msg::kExecuteAskPrompt;
            break;
        case Prompt::Speed:
            caption = msg::kSpeedAskCaption;
            text = msg::kSpeedAskPrompt;
            break;
        case Prompt::Local:
            caption = msg::kLocalAskCaption;
            text = msg::kLocalAskPrompt;
            break;
        case Prompt::LoadWatches:
        case Prompt::SaveWatches:
        case Prompt::SaveText:
            caption = prompt_ == Prompt::LoadWatches ? "Load ..." : "Save ...";
            text = "File name (text files: *.txt)";
            break;
        case Prompt::None:
            break;
        }
        if (open_prompt_) {
            ImGui::OpenPopup("###prompt");
            open_prompt_ = false;
            focus_answer_ = true;
        }
        const std::string title = std::string(caption) + "###prompt";
        if (ImGui::BeginPopupModal(title.c_str(), nullptr, ImGuiWindowFlags_AlwaysAutoResize)) {
            ImGui::TextUnformatted(text);
            if (focus_answer_) {
                ImGui::SetKeyboardFocusHere();
                focus_answer_ = false;
            }
            const bool entered =
                prompt_ == Prompt::Execute
                    ? false
                    : ImGui::InputText("##answer", &answer_, ImGuiInputTextFlags_EnterReturnsTrue);
            if (prompt_ == Prompt::Execute) ImGui::InputTextMultiline("##answer", &answer_, ImVec2(420, 160));
            if (ImGui::Button("OK") || entered) {
                ImGui::CloseCurrentPopup();
                Answer();
            }
            ImGui::SameLine();
            if (ImGui::Button("Cancel")) {
                ImGui::CloseCurrentPopup();
                prompt_ = Prompt::None;
            }
            ImGui::EndPopup();
        }
        if (compile_error_) {
            ImGui::OpenPopup("###message");
            compile_error_ = false;
        }
        if (ImGui::BeginPopupModal((std::string(msg::kDebugCaption) + "###message").c_str(), nullptr,
                                   ImGuiWindowFlags_AlwaysAutoResize)) {
            ImGui::TextUnformatted(message_.c_str());
            if (ImGui::Button("OK")) ImGui::CloseCurrentPopup();
            ImGui::EndPopup();
        }
    }

    void Message(std::string text) {
        message_ = std::move(text);
        compile_error_ = true;
    }

    void Answer() {
        const Prompt prompt = prompt_;
        prompt_ = Prompt::None;
        switch (prompt) {
        case Prompt::AddWatch:
            (void)model_.AddWatch(answer_);
            break;
        case Prompt::ChangeWatch:
            (void)model_.ChangeWatch(selected_, answer_);
            break;
        case Prompt::Execute:
            if (model_.Execute(answer_) == DebugModel::ExecuteResult::CompileError)
                Message(msg::kCompileError);
            break;
        case Prompt::Speed:
            (void)model_.SetSpeed(answer_);
            break;
        case Prompt::Local:
            (void)model_.ShowLocal(answer_);
            break;
        case Prompt::LoadWatches:
            if (!answer_.empty() && !model_.LoadWatches(answer_)) Message("Cannot read " + answer_);
            break;
        case Prompt::SaveWatches:
            if (!answer_.empty() && !model_.SaveWatches(answer_)) Message("Cannot write " + answer_);
            break;
        case Prompt::SaveText:
            if (!answer_.empty()) {
                std::ofstream out(answer_, std::ios::binary | std::ios::trunc);
                out << save_text_;
                if (!out) Message("Cannot write " + answer_);
            }
            save_text_.clear();
            break;
        case Prompt::None:
            break;
        }
    }

    void Draw() {
        const ImGuiViewport* viewport = ImGui::GetMainViewport();
        ImGui::SetNextWindowPos(viewport->WorkPos);
        ImGui::SetNextWindowSize(viewport->WorkSize);
        const ImGuiWindowFlags flags = ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_MenuBar |
                                       ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoBringToFrontOnFocus |
                                       ImGuiWindowFlags_NoSavedSettings;
        if (ImGui::Begin(msg::kDebugCaption, nullptr, flags)) {
            Menus();
            Toolbar();
            const float status = ImGui::GetFrameHeightWithSpacing() + 4;
            WatchGrid(std::max(60.0f, ImGui::GetContentRegionAvail().y - status));
            StatusBar();
            Keys();
            Prompts();
        }
        ImGui::End();
        TextWindow(model_.GlobalWindow(), "global", 0, false);
        TextWindow(model_.InstancesWindow(), "instances", 1, false);
        const bool added = model_.TakeMessageAdded();
        if (model_.MessagesWindow()) TextWindow(*model_.MessagesWindow(), "messages", 2, added);
        auto& locals = model_.LocalWindows();
        for (size_t i = 0; i < locals.size(); ++i)
            TextWindow(locals[i], "local" + std::to_string(i), i + 3, false);
    }

    DebugModel& model_;
    SDL_Window* window_ = nullptr;
    SDL_GLContext gl_ = nullptr;
    ImGuiContext* imgui_ = nullptr;
    bool video_ = false;
    uint32_t id_ = 0;
    std::vector<SDL_Event> events_;
    std::vector<DebugAction> pending_;
    bool close_ = false;
    bool execute_shortcut_ = false;
    Uint32 last_frame_ = 0;
    size_t selected_ = 0;
    Prompt prompt_ = Prompt::None;
    bool open_prompt_ = false;
    bool focus_answer_ = false;
    std::string answer_;
    std::string save_text_;
    bool compile_error_ = false;
    std::string message_;
};

} // namespace

std::unique_ptr<DebugView> MakeImGuiDebugView(DebugModel& model, std::string& error) {
    auto view = std::make_unique<ImGuiDebugView>(model);
    if (!view->Open(error)) return nullptr;
    return view;
}

} // namespace kestrin
