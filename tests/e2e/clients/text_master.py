#!/usr/bin/python3
"""The character protocol from a program nobody here wrote, pyserial: each command with a CR,
each reply read up to its CR (or a second's silence). Prints one reply per line, escaped.

    text_master.py PORT COMMAND...
"""
import sys

import serial

with serial.Serial(sys.argv[1], 9600, timeout=1) as line:
    for command in sys.argv[2:]:
        line.write(command.encode("latin-1") + b"\r")
        print(repr(line.read_until(b"\r").decode("latin-1")))
