#pragma once

#include <QString>

#include <xcb/xcb.h>

// Answers a request for a selection of ours with a text, in the formats a
// text is asked for (UTF8_STRING, text/plain;charset=utf-8, text/plain,
// STRING, TEXT and the TARGETS that lists them), and refuses any other
// target. A paste's text is at most AppConfig::maxTextLength characters,
// which fits one request: no incremental transfer.
class X11TextAnswer {
public:
    enum class Outcome { text, targets, refused };

    // Interns the atoms it answers with, on `connection`.
    explicit X11TextAnswer(xcb_connection_t* connection);

    // Writes the answer to the requestor's property and tells the requestor.
    Outcome answer(const xcb_selection_request_event_t& request, const QString& text) const;

private:
    // The data and its type for `target`; none for a target we do not offer.
    bool convert(xcb_atom_t target, const QString& text, QByteArray& data, xcb_atom_t& type) const;

    xcb_connection_t* connection;
    xcb_atom_t targets;
    xcb_atom_t utf8String;
    xcb_atom_t utf8Plain;
    xcb_atom_t plain;
    xcb_atom_t textAtom;
};
