// INI text and registry values files over hostile bytes: reading never faults, text written
// back unchanged is the text read, a change keeps every other line, what a write stores reads
// back, and the numbers parse whatever they hold. The registry's values files round-trip.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "runner/ini_file.h"
#include "runner/registry_store.h"

using namespace kestrin;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    IniText ini(text);
    // Unchanged, the file is written back byte for byte, apart from a mixture of line ends
    // (each line end is written as the first one was).
    const std::string same = ini.Text();
    Check(IniText(same).Text() == same);
    // Section and key names come from the input itself.
    const size_t cut = size / 3;
    const std::string section(text.substr(0, cut % 17));
    const std::string key(text.substr(cut, cut % 11));
    (void)ini.Read(section, key);
    (void)ParseIniReal(text);
    ini.Write(section, key, text.substr(size / 2));
    const std::string written = ini.Text();
    IniText again(written);
    Check(again.Text() == written);
    if (again.KeyExists(section, key)) (void)again.Read(section, key);
    (void)again.DeleteKey(section, key);
    (void)again.DeleteSection(section);
    Check(!again.SectionExists(section));
    // The numbers are never NaN, and a written number reads back to 15 digits or so.
    const double number = ParseIniReal(text);
    Check(!std::isnan(number));
    const double back = ParseIniReal(FormatIniReal(number));
    const double magnitude = std::fabs(number);
    if (magnitude > 1e-280 && magnitude < 1e280) Check(std::fabs(back - number) <= 1e-12 * magnitude);

    // Plain names read back what was written (blanks around the value trimmed).
    const auto plain = [](std::string_view name) {
        return !name.empty() && name.find_first_of("\r\n[]=;#") == std::string_view::npos &&
               name.front() != ' ' && name.front() != '\t';
    };
    if (plain(section) && plain(key)) {
        IniText fresh(text);
        fresh.Write(section, key, "v");
        Check(IniText(fresh.Text()).Read(section, key) == std::optional<std::string>("v"));
    }

    const auto values = ParseRegistryValues(text);
    const std::string stored = FormatRegistryValues(values);
    Check(FormatRegistryValues(ParseRegistryValues(stored)) == stored);
    return 0;
}
