"""Certificates for the TLS mail tests, made with the openssl command in the folder given.

  ca.pem                 the test authority (tests point SSL_CERT_FILE at it)
  good.pem / good.key    for 127.0.0.1 and localhost, signed by the authority
  other.pem / other.key  for mail.other.test only, signed by the authority
  expired.pem / .key     for 127.0.0.1 and localhost, signed by the authority, expired in 2021
  self.pem / self.key    for 127.0.0.1 and localhost, signed by itself

Usage: testcerts.py FOLDER
"""

import os
import subprocess
import sys

folder = sys.argv[1]
os.chdir(folder)


def openssl(*args):
    subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)


def key(name):
    openssl("genpkey", "-algorithm", "EC", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-out", name + ".key")


def write(name, text):
    with open(name, "w", encoding="ascii") as f:
        f.write(text)


LOCAL = "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
write("local.ext", LOCAL)
write("other.ext", "subjectAltName=DNS:mail.other.test\n")
write("ca.cnf", """[ca]
default_ca = test
[test]
database = index.txt
serial = serial
new_certs_dir = .
certificate = ca.pem
private_key = ca.key
default_md = sha256
policy = any
unique_subject = no
[any]
commonName = supplied
[req]
distinguished_name = dn
[dn]
""")
write("index.txt", "")
write("serial", "1000\n")

key("ca")
openssl("req", "-x509", "-new", "-key", "ca.key", "-subj", "/CN=Easy VELUNA Test CA", "-days", "30", "-out", "ca.pem",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign,cRLSign")

for name, ext, dates in (("good", "local.ext", None), ("other", "other.ext", None),
                         ("expired", "local.ext", ("20200101000000Z", "20210101000000Z"))):
    key(name)
    openssl("req", "-new", "-key", name + ".key", "-subj", "/CN=" + name, "-out", name + ".csr", "-config", "ca.cnf")
    period = ["-startdate", dates[0], "-enddate", dates[1]] if dates else ["-days", "30"]
    openssl("ca", "-batch", "-config", "ca.cnf", "-in", name + ".csr", "-out", name + ".pem", "-extfile", ext,
            "-notext", *period)

key("self")
openssl("req", "-x509", "-new", "-key", "self.key", "-subj", "/CN=self", "-days", "30", "-out", "self.pem",
        "-addext", LOCAL.strip())
