#!/usr/bin/python3
"""Reads an application's accessibility tree from outside, as a screen
reader does. One command per line on stdin, one JSON answer per line:

  tree PID          the application's windows, each node with its role,
                    name, states, action names and (if visible) children
  act PID PATH      does the first action of the node at PATH (child
                    indices from the application, joined by "/")
  count PID         how many applications of the registry the process is
"""
import json
import sys
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

# Action names are read through the one call this version has for them.
warnings.filterwarnings("ignore", category=DeprecationWarning)


def application(pid):
    desktop = Atspi.get_desktop(0)
    for index in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(index)
        try:
            if app is not None and app.get_process_id() == pid:
                app.set_cache_mask(Atspi.Cache.NONE)
                app.clear_cache()
                return app
        except Exception:
            continue
    return None


def count(pid):
    desktop = Atspi.get_desktop(0)
    found = 0
    for index in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(index)
        try:
            found += app is not None and app.get_process_id() == pid
        except Exception:
            continue
    return {"count": found}


def states_of(node):
    states = node.get_state_set().get_states()
    return [Atspi.StateType(state).value_nick for state in states]


def has_actions(node):
    return "Action" in node.get_interfaces() and Atspi.Action.get_n_actions(node) > 0


def action_names(node):
    if "Action" not in node.get_interfaces():
        return []
    return [Atspi.Action.get_action_name(node, i) for i in range(Atspi.Action.get_n_actions(node))]


def describe(node, depth=0):
    states = states_of(node)
    result = {
        "role": node.get_role_name(),
        "name": node.get_name() or "",
        "states": states,
        "actions": action_names(node),
        "children": [],
    }
    # Hidden pages and closed parts are not walked: nothing there is shown.
    if "visible" in states and depth < 40:
        for index in range(node.get_child_count()):
            child = node.get_child_at_index(index)
            if child is not None:
                result["children"].append(describe(child, depth + 1))
    return result


def tree(pid):
    app = application(pid)
    if app is None:
        return {"error": "no application with process %d" % pid}
    windows = []
    for index in range(app.get_child_count()):
        window = app.get_child_at_index(index)
        if window is not None:
            windows.append(describe(window))
    return {"windows": windows}


def act(pid, path):
    node = application(pid)
    if node is None:
        return {"error": "no application with process %d" % pid}
    for step in path.split("/"):
        node = node.get_child_at_index(int(step))
        if node is None:
            return {"error": "no node at " + path}
    if not has_actions(node):
        return {"error": "the node at %s has no action" % path}
    return {"done": bool(Atspi.Action.do_action(node, 0))}


def main():
    for line in sys.stdin:
        words = line.split()
        try:
            if len(words) == 2 and words[0] == "tree":
                answer = tree(int(words[1]))
            elif len(words) == 2 and words[0] == "count":
                answer = count(int(words[1]))
            elif len(words) == 3 and words[0] == "act":
                answer = act(int(words[1]), words[2])
            else:
                answer = {"error": "unknown command: " + line.strip()}
        except Exception as error:  # a vanished object is an answer too
            answer = {"error": str(error)}
        sys.stdout.write(json.dumps(answer) + "\n")
        sys.stdout.flush()


if __name__ == "__main__":
    main()
