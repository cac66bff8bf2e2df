#!/usr/bin/env python3
"""Slow clients for the lookup service's load test (not a test).

Keeps N connections open to HOST:PORT, each sending one byte of an endless
request head a second; a connection the service closes is opened again at
once, so that N stay connected. The clients come from 127.0.0.2 onwards,
PER_ADDRESS to an address, as many hosts would.

    trickle.py PORT [N] [PER_ADDRESS]

Prints the number connected once they all are, then runs until killed.
"""

import selectors
import socket
import sys
import time

HEAD = b"GET /ext/file_ext.php?ext[]=mp3 HTTP/1.1\r\nHost: x\r\nX-Slow: "


def main():
    port = int(sys.argv[1])
    count = int(sys.argv[2]) if len(sys.argv) > 2 else 500
    per_address = int(sys.argv[3]) if len(sys.argv) > 3 else 50
    selector = selectors.DefaultSelector()
    clients = {}  # socket -> (slot, bytes sent)

    def open_slot(slot):
        s = socket.socket()
        s.bind(("127.0.0.%d" % (2 + slot // per_address), 0))
        s.connect(("127.0.0.1", port))
        s.setblocking(False)
        selector.register(s, selectors.EVENT_READ)
        clients[s] = [slot, 0]

    for slot in range(count):
        open_slot(slot)
    print("trickle: %d connected" % len(clients), flush=True)
    next_tick = time.monotonic()
    while True:
        timeout = max(0.0, next_tick - time.monotonic())
        for key, _ in selector.select(timeout):
            s = key.fileobj
            try:
                data = s.recv(4096)
            except OSError:
                data = b""
            if not data:  # closed by the service: come back
                slot = clients.pop(s)[0]
                selector.unregister(s)
                s.close()
                open_slot(slot)
        if time.monotonic() >= next_tick:
            next_tick += 1.0
            for s, state in list(clients.items()):
                sent = state[1]
                byte = HEAD[sent:sent + 1] or b"z"
                try:
                    s.send(byte)
                except OSError:
                    pass
                state[1] = sent + 1


if __name__ == "__main__":
    main()
