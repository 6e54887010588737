#!/usr/bin/env python3
"""A loopback proxy for the download benchmark.

    cutting_proxy.py UPSTREAM_PORT CUT_BYTES STATS_FILE

Listens on a free loopback port (printed on the first line of standard output) and relays each
connection's one HTTP request to 127.0.0.1:UPSTREAM_PORT and its answer back. Each download is
cut once: the first answer after STATS_FILE was removed (the benchmark removes it before each
download) closes after CUT_BYTES bytes of its body, before the announced length; every later
answer is relayed whole. After each answer one line with the number of body bytes relayed is
appended to STATS_FILE, so that their sum is what the download cost.
"""

import os
import socket
import sys
import threading

PIECE = 1 << 20


def read_head(sock):
    """The bytes up to and including the blank line, and whatever followed them."""
    data = b""
    while b"\r\n\r\n" not in data:
        chunk = sock.recv(65536)
        if not chunk:
            return None, b""
        data += chunk
    end = data.index(b"\r\n\r\n") + 4
    return data[:end], data[end:]


def header(head, name):
    for line in head.split(b"\r\n")[1:]:
        key, _, value = line.partition(b":")
        if key.strip().lower() == name:
            return value.strip()
    return None


def relay(client, upstream_port, cut_bytes, stats_file, lock):
    relayed = 0
    try:
        request, rest = read_head(client)
        if request is None:
            return
        with lock:
            # The first answer of a download (no answer noted yet) is the one cut.
            cut_here = not os.path.exists(stats_file)
            if cut_here:
                open(stats_file, "a").close()
        # One request a connection: the server closes once the answer is out.
        lines = [l for l in request.split(b"\r\n") if not l.lower().startswith(b"connection:")]
        request = b"\r\n".join(lines[:-2]) + b"\r\nConnection: close\r\n\r\n"
        upstream = socket.create_connection(("127.0.0.1", upstream_port))
        with upstream:
            upstream.sendall(request + rest)
            answer, body = read_head(upstream)
            if answer is None:
                return
            client.sendall(answer)
            length = header(answer, b"content-length")
            remaining = int(length) if length is not None else None
            limit = cut_bytes if cut_here else None
            buffer = bytearray(PIECE)
            view = memoryview(buffer)
            pending = body
            while remaining is None or relayed < remaining:
                if pending:
                    piece = pending
                    pending = b""
                else:
                    n = upstream.recv_into(buffer)
                    if n == 0:
                        break
                    piece = view[:n]
                if remaining is not None:
                    piece = piece[: remaining - relayed]
                if limit is not None and relayed + len(piece) >= limit:
                    client.sendall(piece[: limit - relayed])
                    relayed = limit
                    break  # the cut: the connection closes short of the announced length
                client.sendall(piece)
                relayed += len(piece)
    except OSError:
        pass
    finally:
        client.close()
        with lock:
            with open(stats_file, "a") as stats:
                stats.write(f"{relayed}\n")


def main():
    if len(sys.argv) != 4:
        sys.exit("usage: cutting_proxy.py UPSTREAM_PORT CUT_BYTES STATS_FILE")
    upstream_port, cut_bytes, stats_file = int(sys.argv[1]), int(sys.argv[2]), sys.argv[3]
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(16)
    print(listener.getsockname()[1], flush=True)
    lock = threading.Lock()
    while True:
        client, _ = listener.accept()
        threading.Thread(
            target=relay, args=(client, upstream_port, cut_bytes, stats_file, lock), daemon=True
        ).start()


if __name__ == "__main__":
    main()
