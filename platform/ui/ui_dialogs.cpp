#include "platform/ui/ui_dialogs.h"

#include <SDL.h>
#include <backends/imgui_impl_opengl3.h>
#include <backends/imgui_impl_sdl.h>
#include <epoxy/gl.h>
#include <imgui.h>
#include <imgui_stdlib.h>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <system_error>
#include <vector>

#include "base/bitmap32.h"
#include "graphics/graphics_window.h"
#include "graphics/render_state.h"
#include "runner/function_dialog.h"
#include "runner/highscore.h"
#include "runner/message_window.h"

namespace kestrin {

namespace fs = std::filesystem;

namespace {

// The built-in font's own size, which every font size is scaled from.
constexpr float kBaseFontPixels = 13.0f;
// A listing of a folder shows at most this many entries.
constexpr size_t kMaxListing = 10000;

ImVec4 Colour(int32_t c, float alpha = 1.0f) {
    return ImVec4(float(c & 0xFF) / 255.0f, float(c >> 8 & 0xFF) / 255.0f, float(c >> 16 & 0xFF) / 255.0f,
                  alpha);
}
// Messages break lines with "\r" as well; the font would skip it.
std::string LineBreaks(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out.push_back('\n');
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out.push_back(text[i]);
        }
    }
    return out;
}

int32_t ColourOf(const float rgb[3]) {
    auto byte = [](float v) { return static_cast<int32_t>(std::lround(std::clamp(v, 0.0f, 1.0f) * 255.0f)); };
    return byte(rgb[0]) | byte(rgb[1]) << 8 | byte(rgb[2]) << 16;
}
float FontPixels(int32_t points) {
    return std::clamp(float(points) * 96.0f / 72.0f, 6.0f, 96.0f);
}

// The keys the dialogs act on, as virtual-key codes.
int32_t KeyOf(SDL_Keycode k) {
    if (k >= SDLK_a && k <= SDLK_z) return 'A' + (k - SDLK_a);
    if (k >= SDLK_0 && k <= SDLK_9) return '0' + (k - SDLK_0);
    switch (k) {
    case SDLK_ESCAPE:
        return 27;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return 13;
    case SDLK_SPACE:
        return 32;
    default:
        return 0;
    }
}

struct KeyPress {
    int32_t key;
    bool alt;
};

// A picture of the game uploaded for the dialog's lifetime.
class Picture {
public:
    Picture() = default;
    explicit Picture(const TBitmap32* bitmap) {
        if (!bitmap || bitmap->Empty()) return;
        w_ = bitmap->Width();
        h_ = bitmap->Height();
        glGenTextures(1, &tex_);
        glBindTexture(GL_TEXTURE_2D, tex_);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, w_, h_, 0, GL_BGRA, GL_UNSIGNED_BYTE, bitmap->Row(0));
        glBindTexture(GL_TEXTURE_2D, 0);
    }
    ~Picture() {
        if (tex_) glDeleteTextures(1, &tex_);
    }
    Picture(const Picture&) = delete;
    Picture& operator=(const Picture&) = delete;
    Picture(Picture&& o) noexcept : tex_(o.tex_), w_(o.w_), h_(o.h_) { o.tex_ = 0; }
    Picture& operator=(Picture&& o) noexcept {
        if (this != &o) {
            if (tex_) glDeleteTextures(1, &tex_);
            tex_ = o.tex_;
            w_ = o.w_;
            h_ = o.h_;
            o.tex_ = 0;
        }
        return *this;
    }

    bool Ok() const { return tex_ != 0; }
    int32_t W() const { return w_; }
    int32_t H() const { return h_; }
    ImTextureID Id() const { return reinterpret_cast<ImTextureID>(static_cast<intptr_t>(tex_)); }

private:
    GLuint tex_ = 0;
    int32_t w_ = 0, h_ = 0;
};

// One folder's entries, read when the folder changes.
struct Listing {
    fs::path folder;
    std::vector<std::string> folders;
    std::vector<std::string> files;

    void Read(const fs::path& dir) {
        folder = dir;
        folders.clear();
        files.clear();
        std::error_code ec;
        for (fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec), end;
             !ec && it != end && folders.size() + files.size() < kMaxListing; it.increment(ec)) {
            std::error_code e2;
            const std::string name = it->path().filename().string();
            if (it->is_directory(e2))
                folders.push_back(name);
            else
                files.push_back(name);
        }
        std::sort(folders.begin(), folders.end());
        std::sort(files.begin(), files.end());
    }
};

class UiDialogHost : public DialogHost {
public:
    explicit UiDialogHost(const UiWindowAccess& access) : access_(access) {
        ImGuiContext* previous = ImGui::GetCurrentContext();
        context_ = ImGui::CreateContext();
        ImGui::SetCurrentContext(context_);
        ImGui::GetIO().IniFilename = nullptr;
        ImGui::GetIO().ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard;
        ImGui::StyleColorsLight();
        ok_ = ImGui_ImplSDL2_InitForOpenGL(access_.window, access_.gl_context) &&
              ImGui_ImplOpenGL3_Init("#version 330 core");
        ImGui::SetCurrentContext(previous);
        // Tests answer windowed dialogs with synthesized key presses: one group per dialog,
        // groups separated by ";", presses by ",", "text:..." typing text, "alt+KEY", and
        // "quit" closing the window.
        if (const char* keys = std::getenv("KESTRIN_TEST_DIALOG_KEYS")) {
            std::string all = keys;
            size_t start = 0;
            for (;;) {
                const size_t semi = all.find(';', start);
                test_keys_.push_back(all.substr(start, semi == std::string::npos ? semi : semi - start));
                if (semi == std::string::npos) break;
                start = semi + 1;
            }
        }
    }
    ~UiDialogHost() override {
        ImGuiContext* previous = ImGui::GetCurrentContext();
        ImGui::SetCurrentContext(context_);
        if (ok_) {
            ImGui_ImplOpenGL3_Shutdown();
            ImGui_ImplSDL2_Shutdown();
        }
        ImGui::DestroyContext(context_);
        ImGui::SetCurrentContext(previous == context_ ? nullptr : previous);
    }
    bool Ok() const { return ok_; }

    std::string Ask(const DialogRequest& request) override {
        ImGuiContext* previous = ImGui::GetCurrentContext();
        ImGui::SetCurrentContext(context_);
        SDL_GL_MakeCurrent(access_.window, access_.gl_context);
        closed_ = false;
        pending_.clear();
        if (!test_keys_.empty()) {
            const std::string group = test_keys_.front();
            test_keys_.pop_front();
            size_t start = 0;
            while (start <= group.size() && !group.empty()) {
                const size_t comma = group.find(',', start);
                pending_.push_back(group.substr(start, comma == std::string::npos ? comma : comma - start));
                if (comma == std::string::npos) break;
                start = comma + 1;
            }
        }
        if (access_.set_overlay)
            access_.set_overlay([] { ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData()); });
        std::string answer;
        switch (request.kind) {
        case DialogKind::Message:
        case DialogKind::String:
        case DialogKind::Integer:
            answer = AskMessage(request);
            break;
        case DialogKind::Menu:
            answer = AskMenu(request);
            break;
        case DialogKind::Colour:
            answer = AskColour(request);
            break;
        case DialogKind::OpenFile:
        case DialogKind::SaveFile:
        case DialogKind::Folder:
            answer = AskFile(request);
            break;
        case DialogKind::Highscore:
            answer = AskHighscore(request);
            break;
        }
        if (access_.set_overlay) access_.set_overlay(nullptr);
        // One more present without the dialog, so the game's last frame shows again.
        (void)RenderState_Refresh();
        ImGui::SetCurrentContext(previous);
        // The game sees the window's close request once the dialog is gone.
        if (closed_) {
            SDL_Event quit{};
            quit.type = SDL_QUIT;
            SDL_PushEvent(&quit);
        }
        return answer;
    }

private:
    // Frames until `frame` answers true or the window is closed. `frame` gets the key
    // presses of this frame and builds the dialog's windows.
    template <typename Frame> void Loop(Frame frame) {
        int32_t count = 0;
        for (;;) {
            std::vector<KeyPress> keys;
            SDL_Event e;
            while (SDL_PollEvent(&e)) {
                ImGui_ImplSDL2_ProcessEvent(&e);
                if (e.type == SDL_QUIT ||
                    (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE)) {
                    closed_ = true;
                } else if (e.type == SDL_KEYDOWN && !e.key.repeat) {
                    const int32_t key = KeyOf(e.key.keysym.sym);
                    if (key) keys.push_back({key, (e.key.keysym.mod & KMOD_ALT) != 0});
                } else if (e.type == SDL_WINDOWEVENT && (e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED ||
                                                         e.window.event == SDL_WINDOWEVENT_MOVED)) {
                    WindowState& state = GameWindow();
                    if (!state.full_screen) {
                        SDL_GetWindowPosition(access_.window, &state.client_x, &state.client_y);
                        SDL_GetWindowSize(access_.window, &state.client_w, &state.client_h);
                    }
                }
            }
            if (closed_) return;
            ImGui_ImplOpenGL3_NewFrame();
            ImGui_ImplSDL2_NewFrame();
            ImGui::NewFrame();
            const bool done = frame(keys);
            ImGui::Render();
            Present();
            if (done) return;
            if (++count >= 3) PushTestKey();
            SDL_Delay(10);
        }
    }

    void Present() {
        if (RenderState_Refresh()) return;
        // No game device yet: the dialog on the window's own colour.
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(access_.window, &w, &h);
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glViewport(0, 0, w, h);
        glDisable(GL_SCISSOR_TEST);
        const ImVec4 c = Colour(GameWindow().colour);
        glClearColor(c.x, c.y, c.z, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT);
        ImGui_ImplOpenGL3_RenderDrawData(ImGui::GetDrawData());
        SDL_GL_SwapWindow(access_.window);
    }

    void PushTestKey() {
        if (pending_.empty()) return;
        std::string item = pending_.front();
        pending_.pop_front();
        SDL_Event e{};
        if (item.rfind("text:", 0) == 0) {
            e.type = SDL_TEXTINPUT;
            e.text.windowID = SDL_GetWindowID(access_.window);
            std::strncpy(e.text.text, item.c_str() + 5, sizeof e.text.text - 1);
            SDL_PushEvent(&e);
            return;
        }
        if (item == "quit") {
            e.type = SDL_QUIT;
            SDL_PushEvent(&e);
            return;
        }
        Uint16 mod = 0;
        if (item.rfind("alt+", 0) == 0) {
            mod = KMOD_LALT;
            item = item.substr(4);
        }
        const SDL_Keycode key = SDL_GetKeyFromName(item.c_str());
        if (key == SDLK_UNKNOWN) return;
        for (Uint32 type : {Uint32(SDL_KEYDOWN), Uint32(SDL_KEYUP)}) {
            e = SDL_Event{};
            e.type = type;
            e.key.windowID = SDL_GetWindowID(access_.window);
            e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
            e.key.keysym.sym = key;
            e.key.keysym.scancode = SDL_GetScancodeFromKey(key);
            e.key.keysym.mod = mod;
            SDL_PushEvent(&e);
        }
    }

    static constexpr ImGuiWindowFlags kFixed = ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove |
                                               ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoSavedSettings;

    static ImVec2 Measure(float px, std::string_view text, float wrap = 0.0f) {
        return ImGui::GetFont()->CalcTextSizeA(px, FLT_MAX, wrap, text.data(), text.data() + text.size());
    }

    // ---- The message window ----

    std::string AskMessage(const DialogRequest& r) {
        const MessageSettings& s = CurrentMessageSettings();
        const DialogResourceHooks& hooks = CurrentDialogResourceHooks();
        const MessageWindow model(r.buttons, r.input);
        const std::string message = LineBreaks(r.text);
        Picture background(s.background >= 0 && hooks.background_image ? hooks.background_image(s.background)
                                                                       : nullptr);
        std::array<Picture, 3> faces;
        if (s.button_sprite >= 0 && hooks.sprite_image) {
            const TBitmap32* last = nullptr;
            for (int32_t i = 0; i < 3; ++i) {
                // A missing image copies the one before it.
                if (const TBitmap32* b = hooks.sprite_image(s.button_sprite, i)) last = b;
                faces[static_cast<size_t>(i)] = Picture(last);
            }
        }
        const float textPx = FontPixels(s.text_font.size), buttonPx = FontPixels(s.button_font.size),
                    inputPx = FontPixels(s.input_font.size);
        std::string input = r.value;
        int32_t result = -1;
        int32_t frames = 0;
        Loop([&](const std::vector<KeyPress>& keys) {
            for (const KeyPress& k : keys)
                if (auto chosen = model.Key(k.key, k.alt)) {
                    result = *chosen;
                    return true;
                }
            const ImGuiStyle& style = ImGui::GetStyle();
            MessageMeasures m;
            m.background_w = background.Ok() ? background.W() : 0;
            m.background_h = background.Ok() ? background.H() : 0;
            const ImVec2 display = ImGui::GetIO().DisplaySize;
            m.screen_w = static_cast<int32_t>(display.x);
            m.screen_h = static_cast<int32_t>(display.y);
            const float wrap = float(model.TextWidth(s, m));
            const ImVec2 text = Measure(textPx, message, wrap);
            m.text_w = static_cast<int32_t>(std::ceil(text.x));
            m.text_h = static_cast<int32_t>(std::ceil(text.y));
            m.button_h = faces[0].Ok() ? faces[0].H() : static_cast<int32_t>(buttonPx + 12);
            for (int i = 0; i < 3; ++i) {
                const float w = Measure(buttonPx, model.Label(i)).x + 24;
                m.button_w[static_cast<size_t>(i)] =
                    faces[0].Ok() ? faces[0].W() : std::max(72, static_cast<int32_t>(std::ceil(w)));
            }
            m.input_h = static_cast<int32_t>(inputPx + 2 * style.FramePadding.y);
            const MessageLayout l = model.Layout(s, m);
            const float title = s.show_caption ? ImGui::GetFrameHeight() : 0.0f;

            ImGui::PushStyleVar(ImGuiStyleVar_Alpha, float(s.alpha) / 255.0f);
            ImGui::PushStyleVar(ImGuiStyleVar_WindowPadding, ImVec2(0, 0));
            ImGui::SetNextWindowPos(ImVec2(float(l.window.x), float(l.window.y) - title));
            ImGui::SetNextWindowSize(ImVec2(float(l.window.w), float(l.window.h) + title));
            ImGui::SetNextWindowFocus();
            const std::string caption = s.caption + "##kestrin_message";
            ImGui::Begin(caption.c_str(), nullptr,
                         kFixed | ImGuiWindowFlags_NoScrollbar |
                             (s.show_caption ? 0 : ImGuiWindowFlags_NoTitleBar));
            const ImVec2 origin = ImGui::GetCursorScreenPos();
            if (background.Ok()) {
                ImGui::GetWindowDrawList()->AddImage(
                    background.Id(), origin,
                    ImVec2(origin.x + float(l.window.w), origin.y + float(l.window.h)));
            }
            const float base = ImGui::GetIO().Fonts->Fonts.empty() ? kBaseFontPixels
                                                                   : ImGui::GetIO().Fonts->Fonts[0]->FontSize;
            ImGui::SetWindowFontScale(textPx / base);
            ImGui::SetCursorScreenPos(ImVec2(origin.x + float(l.text.x), origin.y + float(l.text.y)));
            ImGui::PushTextWrapPos(ImGui::GetCursorPosX() + float(l.text.w));
            ImGui::PushStyleColor(ImGuiCol_Text, Colour(s.text_font.colour));
            ImGui::TextUnformatted(message.c_str());
            ImGui::PopStyleColor();
            ImGui::PopTextWrapPos();
            if (model.HasInput()) {
                ImGui::SetWindowFontScale(inputPx / base);
                ImGui::SetCursorScreenPos(ImVec2(origin.x + float(l.input.x), origin.y + float(l.input.y)));
                ImGui::SetNextItemWidth(float(l.input.w));
                ImGui::PushStyleColor(ImGuiCol_FrameBg, Colour(s.input_colour));
                ImGui::PushStyleColor(ImGuiCol_Text, Colour(s.input_font.colour));
                if (frames == 0) ImGui::SetKeyboardFocusHere();
                ImGui::InputText("##input", &input, ImGuiInputTextFlags_AutoSelectAll);
                ImGui::PopStyleColor(2);
            }
            ImGui::SetWindowFontScale(buttonPx / base);
            for (int i = 0; i < 3; ++i) {
                const auto k = static_cast<size_t>(i);
                if (!l.visible[k]) continue;
                const Rect& b = l.buttons[k];
                const ImVec2 at(origin.x + float(b.x), origin.y + float(b.y));
                const ImVec2 size(float(b.w), float(b.h));
                ImGui::SetCursorScreenPos(at);
                ImGui::PushID(i);
                const std::string label = model.Label(i);
                if (faces[0].Ok()) {
                    if (ImGui::InvisibleButton("face", size)) result = i + 1;
                    const size_t face = ImGui::IsItemActive() ? 2 : ImGui::IsItemHovered() ? 1 : 0;
                    ImDrawList* draw = ImGui::GetWindowDrawList();
                    draw->AddImage(faces[face].Id(), at, ImVec2(at.x + size.x, at.y + size.y));
                    const ImVec2 t = Measure(buttonPx, label);
                    draw->AddText(ImGui::GetFont(), buttonPx,
                                  ImVec2(at.x + (size.x - t.x) / 2, at.y + (size.y - t.y) / 2),
                                  ImGui::ColorConvertFloat4ToU32(
                                      Colour(ImGui::IsItemHovered() ? s.mouse_colour : s.button_font.colour,
                                             float(s.alpha) / 255.0f)),
                                  label.c_str());
                } else {
                    ImGui::PushStyleColor(ImGuiCol_Text, Colour(s.button_font.colour));
                    ImGui::PushStyleColor(ImGuiCol_ButtonHovered, Colour(s.mouse_colour, 0.35f));
                    if (ImGui::Button(label.c_str(), size)) result = i + 1;
                    ImGui::PopStyleColor(2);
                }
                ImGui::PopID();
            }
            ImGui::End();
            ImGui::PopStyleVar(2);
            ++frames;
            return result >= 0;
        });
        if (closed_ || result < 0) result = 0;
        if (r.kind == DialogKind::Message) return std::to_string(result);
        return result > 0 ? input : r.value;
    }

    // ---- Pop-up menus ----

    std::string AskMenu(const DialogRequest& r) {
        int32_t chosen = -1;
        bool opened = false;
        const WindowState& w = GameWindow();
        const ImVec2 at = r.at_mouse ? ImVec2(float(w.mouse_x), float(w.mouse_y))
                                     : ImVec2(float(r.x - w.client_x), float(r.y - w.client_y));
        Loop([&](const std::vector<KeyPress>& keys) {
            for (const KeyPress& k : keys)
                if (k.key == 27) return true;
            if (!opened) {
                ImGui::SetNextWindowPos(at);
                ImGui::OpenPopup("##kestrin_menu");
                opened = true;
            }
            if (!ImGui::BeginPopup("##kestrin_menu")) return true;
            int32_t index = 0;
            for (size_t i = 0; i < r.items.size(); ++i) {
                if (r.items[i] == "-") {
                    ImGui::Separator();
                    continue;
                }
                ImGui::PushID(static_cast<int>(i));
                if (ImGui::Selectable(r.items[i].c_str())) chosen = index;
                ImGui::PopID();
                ++index;
            }
            ImGui::EndPopup();
            return chosen >= 0;
        });
        return std::to_string(closed_ ? -1 : chosen);
    }

    // ---- The colour chooser ----

    std::string AskColour(const DialogRequest& r) {
        const auto start = ParseIntegerAnswer(r.value);
        const ImVec4 c = Colour(start ? *start : 0);
        float rgb[3] = {c.x, c.y, c.z};
        int32_t result = -2;
        Loop([&](const std::vector<KeyPress>& keys) {
            for (const KeyPress& k : keys) {
                if (k.key == 27) result = -1;
                if (k.key == 13) result = ColourOf(rgb);
            }
            if (result != -2) return true;
            CentreNext(ImVec2(360, 380));
            ImGui::Begin("Colour##kestrin_colour", nullptr, kFixed | ImGuiWindowFlags_NoScrollbar);
            // The picker is as wide as it is tall; it shrinks to leave room for the buttons.
            const ImVec2 room = ImGui::GetContentRegionAvail();
            const float side =
                std::max(80.0f, std::min(room.x, room.y - 3 * ImGui::GetFrameHeightWithSpacing()));
            ImGui::SetNextItemWidth(side);
            ImGui::ColorPicker3("##picker", rgb,
                                ImGuiColorEditFlags_DisplayRGB | ImGuiColorEditFlags_NoSidePreview);
            if (ImGui::Button("OK", ImVec2(80, 0))) result = ColourOf(rgb);
            ImGui::SameLine();
            if (ImGui::Button("Cancel", ImVec2(80, 0))) result = -1;
            ImGui::End();
            return result != -2;
        });
        return std::to_string(closed_ || result == -2 ? -1 : result);
    }

    static void CentreNext(ImVec2 size) {
        const ImVec2 d = ImGui::GetIO().DisplaySize;
        size.x = std::min(size.x, d.x);
        size.y = std::min(size.y, d.y);
        ImGui::SetNextWindowPos(ImVec2((d.x - size.x) / 2, (d.y - size.y) / 2));
        ImGui::SetNextWindowSize(size);
    }

    // ---- File and folder choosers ----

    std::string AskFile(const DialogRequest& r) {
        const bool folders = r.kind == DialogKind::Folder;
        std::error_code ec;
        fs::path root;
        if (folders && !r.root.empty() && fs::is_directory(r.root, ec)) root = fs::absolute(r.root, ec);
        fs::path dir = !root.empty() ? root : fs::current_path(ec);
        if (folders && root.empty() && !r.value.empty() && fs::is_directory(r.value, ec))
            dir = fs::absolute(r.value, ec);
        std::string name = folders ? "" : fs::path(r.value).filename().string();
        std::vector<FileFilter> filters = ParseFileFilter(r.filter);
        if (filters.empty()) filters.push_back({"All files", {"*.*"}});
        int filter = 0;
        Listing listing;
        listing.Read(dir);
        std::string result;
        bool done = false;
        const char* title = folders                          ? (r.text.empty() ? "Folder" : r.text.c_str())
                            : r.kind == DialogKind::OpenFile ? "Open"
                                                             : "Save";
        auto accept = [&] {
            if (folders) {
                result = dir.string();
                done = true;
                return;
            }
            if (name.empty()) return;
            const fs::path chosen = fs::path(name).is_absolute() ? fs::path(name) : dir / name;
            std::error_code e;
            if (fs::is_directory(chosen, e)) {
                dir = chosen.lexically_normal();
                name.clear();
                listing.Read(dir);
                return;
            }
            if (r.kind == DialogKind::OpenFile && !fs::is_regular_file(chosen, e)) return;
            result = chosen.lexically_normal().string();
            done = true;
        };
        Loop([&](const std::vector<KeyPress>& keys) {
            for (const KeyPress& k : keys) {
                if (k.key == 27) return true;
                if (k.key == 13) accept();
            }
            if (done) return true;
            const ImVec2 d = ImGui::GetIO().DisplaySize;
            CentreNext(ImVec2(std::max(320.0f, d.x * 0.8f), std::max(240.0f, d.y * 0.8f)));
            const std::string caption = std::string(title) + "##kestrin_files";
            ImGui::Begin(caption.c_str(), nullptr, kFixed);
            ImGui::TextUnformatted(dir.string().c_str());
            const float footer = ImGui::GetFrameHeightWithSpacing() * (folders ? 1.0f : 3.0f);
            ImGui::BeginChild("##entries", ImVec2(0, -footer), true);
            fs::path next;
            const bool atRoot = !root.empty() && dir.lexically_normal() == root.lexically_normal();
            if (dir.has_parent_path() && dir != dir.root_path() && !atRoot && ImGui::Selectable("[..]"))
                next = dir.parent_path();
            for (const std::string& f : listing.folders)
                if (ImGui::Selectable(("[" + f + "]").c_str())) next = dir / f;
            if (!folders) {
                for (const std::string& f : listing.files) {
                    if (!FileFilterMatches(filters[static_cast<size_t>(filter)], f)) continue;
                    if (ImGui::Selectable(f.c_str(), f == name, ImGuiSelectableFlags_AllowDoubleClick)) {
                        name = f;
                        if (ImGui::IsMouseDoubleClicked(0)) accept();
                    }
                }
            }
            ImGui::EndChild();
            if (!next.empty()) {
                dir = next.lexically_normal();
                listing.Read(dir);
            }
            if (!folders) {
                ImGui::SetNextItemWidth(-1);
                ImGui::InputText("##name", &name);
                ImGui::SetNextItemWidth(-1);
                if (ImGui::BeginCombo("##filter", filters[static_cast<size_t>(filter)].description.c_str())) {
                    for (size_t i = 0; i < filters.size(); ++i)
                        if (ImGui::Selectable(filters[i].description.c_str(), int(i) == filter))
                            filter = int(i);
                    ImGui::EndCombo();
                }
            }
            if (ImGui::Button("OK", ImVec2(80, 0))) accept();
            ImGui::SameLine();
            const bool cancel = ImGui::Button("Cancel", ImVec2(80, 0));
            ImGui::End();
            return done || cancel;
        });
        return closed_ ? "" : result;
    }

    // ---- The high-score table ----

    std::string AskHighscore(const DialogRequest& r) {
        const HighscoreSettings& s = CurrentHighscoreSettings();
        const DialogResourceHooks& hooks = CurrentDialogResourceHooks();
        Picture background(s.background >= 0 && hooks.background_image ? hooks.background_image(s.background)
                                                                       : nullptr);
        std::string name;
        int32_t frames = 0;
        Loop([&](const std::vector<KeyPress>& keys) {
            for (const KeyPress& k : keys)
                if (k.key == 27 || k.key == 13) return true;
            // The ten ranks and the hint fit the window: rows and font shrink on small ones.
            const ImVec2 display = ImGui::GetIO().DisplaySize;
            const float title = s.border ? ImGui::GetFrameHeight() : 0.0f;
            const float lines = float(r.table.size() + 2);
            float px = FontPixels(s.font_size);
            float row = std::min(px + 8, std::max(8.0f, (display.y - title - 24) / lines));
            px = std::min(px, row - 2);
            const float width = background.Ok() ? float(background.W()) : std::min(360.0f, display.x);
            const float height = background.Ok() ? float(background.H()) : row * lines + 16;
            CentreNext(ImVec2(width, height + title));
            ImGui::PushStyleColor(ImGuiCol_WindowBg, Colour(s.back_colour));
            const std::string caption = r.text + "##kestrin_scores";
            ImGui::Begin(caption.c_str(), nullptr,
                         kFixed | ImGuiWindowFlags_NoScrollbar |
                             (s.border ? 0 : ImGuiWindowFlags_NoTitleBar));
            const ImVec2 origin = ImGui::GetCursorScreenPos();
            if (background.Ok())
                ImGui::GetWindowDrawList()->AddImage(
                    background.Id(), ImGui::GetWindowPos(),
                    ImVec2(ImGui::GetWindowPos().x + ImGui::GetWindowSize().x,
                           ImGui::GetWindowPos().y + ImGui::GetWindowSize().y));
            const float base = ImGui::GetIO().Fonts->Fonts.empty() ? kBaseFontPixels
                                                                   : ImGui::GetIO().Fonts->Fonts[0]->FontSize;
            ImGui::SetWindowFontScale(px / base);
            const float inner = ImGui::GetContentRegionAvail().x;
            for (size_t i = 0; i < r.table.size(); ++i) {
                const bool fresh = static_cast<int32_t>(i) + 1 == r.new_rank;
                const ImVec2 at(origin.x, origin.y + row * float(i));
                ImGui::PushStyleColor(ImGuiCol_Text, Colour(fresh ? s.new_colour : s.other_colour));
                ImGui::SetCursorScreenPos(at);
                if (fresh) {
                    ImGui::SetNextItemWidth(inner * 0.7f);
                    if (frames == 0) ImGui::SetKeyboardFocusHere();
                    ImGui::PushStyleColor(ImGuiCol_FrameBg, Colour(s.back_colour));
                    ImGui::InputText("##name", &name);
                    ImGui::PopStyleColor();
                } else {
                    ImGui::TextUnformatted(r.table[i].name.c_str());
                }
                const std::string score = std::to_string(r.table[i].score);
                ImGui::SetCursorScreenPos(ImVec2(at.x + inner - Measure(px, score).x, at.y));
                ImGui::TextUnformatted(score.c_str());
                ImGui::PopStyleColor();
            }
            ImGui::SetCursorScreenPos(ImVec2(origin.x, origin.y + row * float(r.table.size() + 1)));
            ImGui::PushStyleColor(ImGuiCol_Text, Colour(s.other_colour));
            ImGui::TextUnformatted(s.escape.c_str());
            ImGui::PopStyleColor();
            ImGui::End();
            ImGui::PopStyleColor();
            ++frames;
            return false;
        });
        return name;
    }

    UiWindowAccess access_;
    ImGuiContext* context_ = nullptr;
    bool ok_ = false;
    bool closed_ = false;
    std::deque<std::string> test_keys_;
    std::deque<std::string> pending_;
};

} // namespace

std::unique_ptr<DialogHost> MakeUiDialogHost(const UiWindowAccess& access) {
    auto host = std::make_unique<UiDialogHost>(access);
    if (!host->Ok()) return nullptr;
    return host;
}

} // namespace kestrin
