"""A TLS front for the scripted SMTP server of the mail tests: takes one TLS connection on 127.0.0.1
(its port printed on stdout) and relays the plain bytes both ways to 127.0.0.1:PORT until a side ends.

Usage: tls_front.py CERT KEY PORT
"""

import socket
import ssl
import sys
import threading

cert, key, port = sys.argv[1], sys.argv[2], int(sys.argv[3])
context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(cert, key)
listener = socket.create_server(("127.0.0.1", 0))
print(listener.getsockname()[1], flush=True)
listener.settimeout(10)
client, _ = listener.accept()
client.settimeout(10)
front = context.wrap_socket(client, server_side=True)
back = socket.create_connection(("127.0.0.1", port), timeout=10)


def relay(source, target):
    try:
        while data := source.recv(65536):
            target.sendall(data)
    except (OSError, ValueError):
        pass
    # Either side's end ends both (the plain socket call: the TLS one would touch the TLS state that the
    # other thread is using).
    for end in (front, back):
        try:
            socket.socket.shutdown(end, socket.SHUT_RDWR)
        except OSError:
            pass


threading.Thread(target=relay, args=(back, front), daemon=True).start()
relay(front, back)
