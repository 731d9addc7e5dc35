// The recorded-input reader over hostile text; what parses must format and parse back the same.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "runner/input_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    kestrin::InputRecording recording;
    std::string error;
    if (!kestrin::ParseInputRecording(text, recording, error)) return 0;
    std::string again = kestrin::FormatInputRecording(recording);
    kestrin::InputRecording back;
    if (!kestrin::ParseInputRecording(again, back, error)) std::abort();
    if (kestrin::FormatInputRecording(back) != again) std::abort();
    return 0;
}
