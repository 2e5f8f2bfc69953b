#!/usr/bin/env python3
"""A TCP server that accepts and never answers, as a dead camera would.

Prints its port, then "connected" for each connection it holds open.
"""
import socket

s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(("127.0.0.1", 0))
s.listen(16)
print(s.getsockname()[1], flush=True)
held = []
while True:
    c, _ = s.accept()
    held.append(c)
    print("connected", flush=True)
