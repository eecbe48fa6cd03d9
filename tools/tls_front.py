#!/usr/bin/env python3
"""TLS in front of a loopback server: terminates TLS connections and relays the plain bytes
to --backend (icy_server.py, say) and back. Binds to 127.0.0.0/8 only, prints "PORT <n>" as
the first line of stdout and exits by itself after --lifetime seconds.

--no-close-notify ends each connection without TLS's close_notify, as a cut connection would.
--tls-version 1.2|1.3 offers that protocol version alone (default: both).
"""

import argparse
import ipaddress
import os
import select
import socket
import ssl
import sys
import threading
import time

STEP = 0.25


def relay(conn, ctx, backend_port, close_notify, deadline):
    tls = back = None
    try:
        conn.settimeout(10)
        tls = ctx.wrap_socket(conn, server_side=True)
        back = socket.create_connection(("127.0.0.1", backend_port), timeout=10)
        tls.setblocking(False)
        back.setblocking(False)
        client_open = True
        while time.monotonic() < deadline:
            ready = [back] + ([tls] if client_open else [])
            r = ready if client_open and tls.pending() else select.select(ready, [], [], STEP)[0]
            if tls in r:
                try:
                    data = tls.recv(65536)
                except ssl.SSLWantReadError:
                    data = None
                except (ssl.SSLError, OSError):
                    data = b""
                if data == b"":
                    client_open = False
                    back.shutdown(socket.SHUT_WR)
                elif data:
                    back.setblocking(True)
                    back.sendall(data)
                    back.setblocking(False)
            if back in r:
                try:
                    data = back.recv(65536)
                except BlockingIOError:
                    continue
                if not data:
                    break
                tls.setblocking(True)
                tls.settimeout(10)
                tls.sendall(data)
                tls.setblocking(False)
        if close_notify:
            tls.setblocking(True)
            tls.settimeout(2)
            try:
                tls.unwrap().close()
                tls = None
            except (ssl.SSLError, OSError):
                pass
    except (ssl.SSLError, OSError):
        pass
    finally:
        for s in (tls, back, conn):
            if s is not None:
                try:
                    s.close()
                except OSError:
                    pass


def main():
    ap = argparse.ArgumentParser(description="TLS front of a loopback server")
    ap.add_argument("--backend", type=int, required=True, help="port of the plain server on 127.0.0.1")
    ap.add_argument("--cert", required=True, help="PEM certificate (chain) of the server")
    ap.add_argument("--key", required=True, help="PEM private key")
    ap.add_argument("--port", type=int, default=0)
    ap.add_argument("--host", default="127.0.0.1")
    ap.add_argument("--lifetime", type=float, default=600.0)
    ap.add_argument("--no-close-notify", action="store_true")
    ap.add_argument("--tls-version", choices=["1.2", "1.3"], help="the one protocol version to offer")
    args = ap.parse_args()
    if ipaddress.ip_address(args.host) not in ipaddress.ip_network("127.0.0.0/8"):
        ap.error("--host must be an address in 127.0.0.0/8")
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(args.cert, args.key)
    if args.tls_version:
        v = {"1.2": ssl.TLSVersion.TLSv1_2, "1.3": ssl.TLSVersion.TLSv1_3}[args.tls_version]
        ctx.minimum_version = ctx.maximum_version = v
    deadline = time.monotonic() + args.lifetime
    lsock = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    lsock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    lsock.bind((args.host, args.port))
    lsock.listen(64)
    sys.stdout.write("PORT %d\n" % lsock.getsockname()[1])
    sys.stdout.flush()
    lsock.settimeout(STEP)
    while time.monotonic() < deadline:
        try:
            conn, _ = lsock.accept()
        except socket.timeout:
            continue
        threading.Thread(target=relay, args=(conn, ctx, args.backend, not args.no_close_notify, deadline),
                         daemon=True).start()
    lsock.close()
    sys.stdout.flush()
    os._exit(0)


if __name__ == "__main__":
    main()
