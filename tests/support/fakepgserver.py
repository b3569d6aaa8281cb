#!/usr/bin/env python3
"""A fake PostgreSQL server on 127.0.0.1 that asks every client for its password in clear text, as a machine
impersonating the practice's server would. It prints its port, then appends to the log what each client did:
"tls" when it took the offered encryption, "startup", "password <text>" when the password arrived.
    fakepgserver.py <log> [<certificate> <key>]   with a certificate it accepts TLS, without it refuses it
It serves until it is killed or its standard input closes (the test that started it is gone)."""
import os
import socket
import ssl
import struct
import sys
import threading

SSL_REQUEST, GSSENC_REQUEST = 80877103, 80877104


def read_exactly(conn, n):
    data = b""
    while len(data) < n:
        chunk = conn.recv(n - len(data))
        if not chunk:
            raise EOFError
        data += chunk
    return data


def serve(conn, log, context):
    while True:
        length, code = struct.unpack("!ii", read_exactly(conn, 8))
        if code == SSL_REQUEST and context:
            conn.sendall(b"S")
            conn = context.wrap_socket(conn, server_side=True)
            log("tls")
        elif code in (SSL_REQUEST, GSSENC_REQUEST):
            conn.sendall(b"N")
        else:
            read_exactly(conn, length - 8)
            log("startup")
            break
    conn.sendall(b"R" + struct.pack("!ii", 8, 3))  # AuthenticationCleartextPassword
    kind = read_exactly(conn, 1)
    (length,) = struct.unpack("!i", read_exactly(conn, 4))
    body = read_exactly(conn, length - 4)
    if kind == b"p":
        log("password " + body.rstrip(b"\0").decode("utf-8", "replace"))
    fields = b"SFATAL\0C28P01\0Mpassword authentication failed\0\0"
    conn.sendall(b"E" + struct.pack("!i", len(fields) + 4) + fields)


def main():
    log_path = sys.argv[1]
    context = None
    if len(sys.argv) == 4:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(sys.argv[2], sys.argv[3])

    def log(line):
        with open(log_path, "a") as f:
            f.write(line + "\n")

    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    listener = socket.socket()
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        conn.settimeout(10)
        try:
            serve(conn, log, context)
        except (EOFError, OSError, ssl.SSLError):
            pass
        finally:
            conn.close()


main()
