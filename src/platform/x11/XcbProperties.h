#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <optional>
#include <vector>

// Small reads of the X server's shared state, and a selection owner's reply,
// on any xcb connection.

// The atom of `name`, interned on `connection`; XCB_ATOM_NONE when the
// server does not answer.
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name);

// The 32-bit values of a window's property of `type`; empty when the window
// or the property is gone, or the property has another type.
std::vector<uint32_t> propertyValues(
    xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type);

// The first 32-bit value of such a property; none when there is none.
std::optional<uint32_t> propertyValue(
    xcb_connection_t* connection, xcb_window_t window, xcb_atom_t property, xcb_atom_t type);

// The root window above `window`; the first screen's when the window is gone.
xcb_window_t rootOf(xcb_connection_t* connection, xcb_window_t window);

// Screen `number` of the display, as xcb_connect() names the default one.
xcb_screen_t* screenOf(xcb_connection_t* connection, int number);

// Tells the requestor of `request` that its selection data is in `property`
// (XCB_ATOM_NONE: refused), and sends it.
void notifySelectionRequest(
    xcb_connection_t* connection, const xcb_selection_request_event_t& request, xcb_atom_t property);
