#include "runner/settings.h"

namespace kestrin {

namespace {

// Field order of the stored block; one list drives both reading and writing so the two
// cannot drift apart.
template <typename Settings, typename Visitor>
void VisitFields(Settings& s, Visitor&& v) {
    v.Bool(s.fullscreen);
    v.Bool(s.interpolate);
    v.Bool(s.no_border);
    v.Bool(s.show_cursor);
    v.Int(s.scale);
    v.Bool(s.sizeable);
    v.Bool(s.stay_on_top);
    v.Int(s.outside_colour);
    v.Bool(s.set_display_mode);
    v.Int(s.colour_depth);
    v.Int(s.resolution);
    v.Int(s.frequency);
    v.Bool(s.no_buttons);
    v.Bool(s.vsync);
    v.Bool(s.block_screensaver);
    v.Bool(s.key_f4_fullscreen);
    v.Bool(s.key_f1_info);
    v.Bool(s.key_escape_ends);
    v.Bool(s.key_f5_f6_save_load);
    v.Bool(s.key_f9_screenshot);
    v.Bool(s.close_as_escape);
    v.Int(s.priority);
    v.Bool(s.freeze_inactive);
    v.Bool(s.show_progress);
    if (s.show_progress) {
        v.Bitmap(s.bar_back);
        v.Bitmap(s.bar_front);
    }
    v.Bitmap(s.loading_image);
    v.Bool(s.loading_transparent);
    v.Int(s.loading_alpha);
    v.Bool(s.scale_progress);
    v.Bool(s.display_errors);
    v.Bool(s.write_errors);
    v.Bool(s.abort_errors);
    v.Int(s.language_flags);
    if (s.version >= 820) {
        v.Int(s.reserved);
        v.Bool(s.create_event_first);
    }
}

struct Reader {
    CStream& in;
    void Bool(bool& b) { b = in.ReadBoolean(); }
    void Int(int32_t& i) { i = in.ReadInteger(); }
    void Bitmap(std::optional<TBitmap32>& bm) { bm = in.ReadBitmap(); }
};

struct Writer {
    CStream& out;
    void Bool(bool b) { out.WriteBoolean(b); }
    void Int(int32_t i) { out.WriteInteger(i); }
    void Bitmap(const std::optional<TBitmap32>& bm) { out.WriteBitmap(bm ? &*bm : nullptr); }
};

} // namespace

bool ReadSettings(CStream& stream, CSettings& settings) {
    settings = CSettings();
    settings.version = stream.ReadInteger();
    if (settings.version < 800) return false;
    CStream block = stream.ReadStreamC();
    VisitFields(settings, Reader{block});
    return true;
}

void WriteSettings(CStream& stream, const CSettings& settings) {
    stream.WriteInteger(settings.version);
    CStream block;
    VisitFields(settings, Writer{block});
    stream.WriteStreamC(block);
}

} // namespace kestrin
