#pragma once

// The design tokens shared by every view. Lengths are in device-independent
// pixels.
namespace TallowindTheme {

namespace Radius {
inline constexpr double medium = 12.0;
} // namespace Radius

namespace Window {
inline constexpr double cornerRadius = Radius::medium;
} // namespace Window

} // namespace TallowindTheme
