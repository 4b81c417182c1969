#include "platform/x11/X11TextAnswer.h"

#include "platform/x11/XcbProperties.h"

#include <algorithm>
#include <array>

X11TextAnswer::X11TextAnswer(xcb_connection_t* xcb)
    : connection(xcb),
      targets(internAtom(xcb, "TARGETS")),
      utf8String(internAtom(xcb, "UTF8_STRING")),
      utf8Plain(internAtom(xcb, "text/plain;charset=utf-8")),
      plain(internAtom(xcb, "text/plain")),
      textAtom(internAtom(xcb, "TEXT"))
{
}

X11TextAnswer::Outcome X11TextAnswer::answer(const xcb_selection_request_event_t& request, const QString& text) const
{
    // A client too old to name a property means the target's (ICCCM 2.2).
    const xcb_atom_t property = request.property == XCB_ATOM_NONE ? request.target : request.property;
    Outcome outcome = Outcome::refused;
    QByteArray data;
    xcb_atom_t type = XCB_ATOM_NONE;
    if (request.target == targets && targets != XCB_ATOM_NONE) {
        const std::array<xcb_atom_t, 6> offered = {targets, utf8String, utf8Plain, plain, XCB_ATOM_STRING, textAtom};
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, XCB_ATOM_ATOM, 32,
            static_cast<uint32_t>(offered.size()), offered.data());
        outcome = Outcome::targets;
    } else if (convert(request.target, text, data, type)) {
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, request.requestor, property, type, 8,
            static_cast<uint32_t>(data.size()), data.constData());
        outcome = Outcome::text;
    }

    notifySelectionRequest(connection, request, outcome == Outcome::refused ? xcb_atom_t{XCB_ATOM_NONE} : property);
    return outcome;
}

bool X11TextAnswer::convert(xcb_atom_t target, const QString& text, QByteArray& data, xcb_atom_t& type) const
{
    if (target == XCB_ATOM_NONE)
        return false;
    if (target == utf8String || target == utf8Plain || target == plain) {
        data = text.toUtf8();
        type = target;
    } else if (target == XCB_ATOM_STRING || target == textAtom) {
        // STRING is Latin-1; for TEXT the owner picks the encoding, and a
        // text beyond Latin-1 goes as UTF-8 rather than losing characters.
        const bool latin1 = std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x100; });
        if (target == XCB_ATOM_STRING || latin1) {
            data = text.toLatin1();
            type = XCB_ATOM_STRING;
        } else {
            data = text.toUtf8();
            type = utf8String;
        }
    } else {
        return false;
    }
    // The whole text goes in one request.
    const uint64_t room = uint64_t{xcb_get_maximum_request_length(connection)} * 4 - 32;
    return static_cast<uint64_t>(data.size()) <= room;
}
