#pragma once

namespace kestrin {
inline constexpr const char* kKestrinVersion = "0.1.0";
}
