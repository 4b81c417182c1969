#!/usr/bin/python3
"""Runs inside a terminal emulator and records every byte the terminal sends.

usage: terminal_byte_logger.py LOG [bracketed]

Puts the terminal's tty in raw mode, so no byte is interpreted on the way,
and, with "bracketed", asks the terminal for bracketed paste. Every byte read
is appended to LOG at once. LOG.ready appears once the tty is set up.
"""
import os
import sys
import termios
import tty


def main():
    log_path = sys.argv[1]
    bracketed = len(sys.argv) > 2 and sys.argv[2] == "bracketed"
    tty.setraw(0, termios.TCSANOW)
    if bracketed:
        os.write(1, b"\x1b[?2004h")
    # The terminal answers a cursor position request only after it has acted
    # on everything written before it: the mode is on once the answer is in.
    os.write(1, b"\x1b[6n")
    answer = b""
    while not answer.endswith(b"R"):
        answer += os.read(0, 1)
    with open(log_path, "ab", buffering=0) as log:
        with open(log_path + ".ready", "w"):
            pass
        while True:
            data = os.read(0, 4096)
            if not data:
                return
            log.write(data)


main()
