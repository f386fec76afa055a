#!/usr/bin/env python3
"""Sends the fixture datagrams. Run only inside the private namespaces of make-captures.sh.

send-datagrams.py requests SOURCE_IPV4 PORT         broadcast the requests to port 18768
send-datagrams.py replies  SOURCE_IPV4 DEST_IPV4 PORT  send the replies from port 18768
"""

import socket
import sys
import time

import datagrams

DISCOVERY_PORT = 18768


def main():
    role = sys.argv[1]
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.setsockopt(socket.SOL_SOCKET, socket.SO_BROADCAST, 1)
    if role == "requests":
        s.bind((sys.argv[2], int(sys.argv[3])))
        items, dest = datagrams.requests(), ("255.255.255.255", DISCOVERY_PORT)
    else:
        s.bind((sys.argv[2], DISCOVERY_PORT))
        items, dest = datagrams.replies(), (sys.argv[3], int(sys.argv[4]))
    for data, _ in items:
        s.sendto(data, dest)
        time.sleep(0.02)  # keeps the capture in sending order


if __name__ == "__main__":
    main()
