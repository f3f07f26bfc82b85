"""tls_front.py CERT KEY PORT: takes one TLS connection on 127.0.0.1 (its port printed on stdout) and
relays the plain bytes both ways to the scripted SMTP server at 127.0.0.1:PORT until a side ends."""

import socket
import ssl
import sys
import threading

context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
context.load_cert_chain(sys.argv[1], sys.argv[2])
listener = socket.create_server(("127.0.0.1", 0))
print(listener.getsockname()[1], flush=True)
listener.settimeout(10)
front = context.wrap_socket(listener.accept()[0], server_side=True)
back = socket.create_connection(("127.0.0.1", int(sys.argv[3])), timeout=10)


def relay(source, target):
    try:
        while data := source.recv(65536):
            target.sendall(data)
    except (OSError, ValueError):
        pass
    for end in (front, back):
        try:
            socket.socket.shutdown(end, socket.SHUT_RDWR)  # not the TLS call: the other thread uses it
        except OSError:
            pass


threading.Thread(target=relay, args=(back, front), daemon=True).start()
relay(front, back)
