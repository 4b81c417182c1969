#pragma once

#include <xcb/xcb.h>

// The atom of `name`, interned on `connection`; XCB_ATOM_NONE when the
// server does not answer.
xcb_atom_t internAtom(xcb_connection_t* connection, const char* name);
