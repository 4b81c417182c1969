#pragma once

// Every animation of the views takes its length from here, so tests can
// shorten all of them at once (a scale of 0 makes each one jump to its end).
namespace Motion {

double durationScale();
void setDurationScale(double scale);
// A duration in seconds as animation milliseconds, after the scale.
int milliseconds(double seconds);

} // namespace Motion
