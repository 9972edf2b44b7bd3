"""A raw HTTP peer for the download client's tests.

usage: http_peer.py HOST PORT

The first path segment picks a canned reply, written in one send. Replies
marked "hold" keep the connection open after the reply, so the client cannot
finish by seeing the connection close; the others close it.
"""
import socket
import sys
import threading

BODY = b"hello"

REPLIES = {
    "plain": (b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n" + BODY, True),
    "lowercase": (b"HTTP/1.1 200 OK\r\ncontent-length: 5\r\n\r\n" + BODY, True),
    "emptyreason": (b"HTTP/1.1 200 \r\nContent-Length: 5\r\n\r\n" + BODY, True),
    "continue": (b"HTTP/1.1 100 Continue\r\nX-Stage: one\r\n\r\n"
                 b"HTTP/1.1 200 OK\r\nX-Stage: two\r\nContent-Length: 5\r\n\r\n" + BODY, True),
    "extra": (b"HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\n" + BODY + b" EXTRA", True),
    "nolength": (b"HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n" + BODY, False),
    "chunked": (b"HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", False),
    "cut": (b"HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n" + BODY, True),
    "huge": (b"HTTP/1.1 200 OK\r\nContent-Length: 5000000000\r\n\r\n" + BODY, True),
    "gone": (b"HTTP/1.1 404 Not Found\r\nContent-Length: 4\r\n\r\nnope", True),
    "busy": (b"HTTP/1.1 503 Service Unavailable\r\nContent-Length: 4\r\n\r\nbusy", True),
    "empty": (b"HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n", True),
    "silent": (b"", True),
}


def read_request(conn):
    data = b""
    while b"\r\n\r\n" not in data:
        more = conn.recv(65536)
        if not more:
            return data
        data += more
    head, _, rest = data.partition(b"\r\n\r\n")
    for line in head.split(b"\r\n")[1:]:
        key, _, value = line.partition(b": ")
        if key.lower() == b"content-length":
            while len(rest) < int(value):
                more = conn.recv(65536)
                if not more:
                    break
                rest += more
    return head + b"\r\n\r\n" + rest


def target_name(request):
    target = request.split(b" ")[1] if request.count(b" ") >= 2 else b"/"
    if target.startswith(b"http://"):
        target = b"/" + target[7:].partition(b"/")[2]
    return target.split(b"/")[1].decode("latin-1") if target.count(b"/") else ""


def endless(conn, first, line):
    """A status line, then header lines for ever (line % n gives each its own name)."""
    try:
        conn.sendall(first)
        n = 0
        while True:
            conn.sendall(b"".join((line % (n + i)) for i in range(64)) if b"%d" in line else line * 64)
            n += 64
    except OSError:
        pass
    conn.close()


def serve(conn):
    request = read_request(conn)
    name = target_name(request)
    if name == "endless":
        return endless(conn, b"HTTP/1.1 200 OK\r\n", b"X-Filler-%d: 0123456789abcdef\r\n")
    if name == "endlessline":
        return endless(conn, b"HTTP/1.1 200 OK\r\nX-Long: ", b"0123456789abcdef")
    if name == "big":
        # 200 KB of body, for limits on the file it goes to.
        reply = b"HTTP/1.1 200 OK\r\nContent-Length: 200000\r\n\r\n" + b"b" * 200000
        hold = True
    elif name == "echo":
        # The body is the request exactly as it arrived.
        reply = b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % len(request) + request
        hold = True
    else:
        reply, hold = REPLIES.get(name, (b"HTTP/1.1 400 Bad\r\nContent-Length: 0\r\n\r\n", False))
    try:
        conn.sendall(reply)
        while hold and conn.recv(65536):
            pass
    except OSError:
        pass
    conn.close()


def main():
    host, port = sys.argv[1], int(sys.argv[2])
    listener = socket.socket()
    # A rerun within a minute finds the last run's closed connections waiting.
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((host, port))
    listener.listen(16)
    while True:
        conn, _ = listener.accept()
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
