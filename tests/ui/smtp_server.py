"""A real SMTP server (aiosmtpd) for the mail tests, on 127.0.0.1 with a free port.

Prints one JSON object per line on stdout (and appends it to --record FILE when given):
  {"port": N}                                  once listening
  {"helo": NAME}                               each accepted HELO
  {"auth": [MECHANISM, LOGIN, PASSWORD, OK]}   each authentication attempt
  {"auth_tls": BOOL}                           with each attempt: whether the connection was encrypted
  {"mail_from": ..., "rcpt_tos": [...], "data_hex": ..., "data": ..., "parsed": {...}}
                                               each message; data is the DATA bytes read as ISO-2022-JP,
                                               parsed what Python's email package (policy strict) makes
                                               of it: "headers" [[name, value]...], "body", "parts"
                                               (type, params, filename, payload_hex), "defects" or "error"
--mode plain (default): AUTH LOGIN is offered without TLS and, unlike stock aiosmtpd, also after HELO.
--no-auth: a relay without login, as stock aiosmtpd after HELO ("500 Error: command 'AUTH' not recognized").
--mode tls: TLS from the first byte (--cert, --key). --mode starttls: STARTTLS required before anything
else, AUTH only after it. Credentials other than --user/--password are refused with 535. Runs until
killed.
"""

import argparse
import asyncio
import email
import email.policy
import json
import ssl
import sys
import logging

from aiosmtpd.smtp import SMTP, AuthResult

parser = argparse.ArgumentParser()
parser.add_argument("--user", required=True)
parser.add_argument("--password", required=True)
parser.add_argument("--record")
parser.add_argument("--mode", choices=["plain", "tls", "starttls"], default="plain")
parser.add_argument("--cert")
parser.add_argument("--key")
parser.add_argument("--no-auth", action="store_true")
args = parser.parse_args()
# aiosmtpd logs the deprecation of a session field that it sets itself at every login.
logging.getLogger("mail.log").setLevel(logging.ERROR)


def emit(**fields):
    line = json.dumps(fields, ensure_ascii=True)
    print(line, flush=True)
    if args.record:
        with open(args.record, "a", encoding="ascii") as record:
            record.write(line + "\n")


def authenticator(server, session, envelope, mechanism, auth_data):
    login = auth_data.login.decode("latin-1")
    password = auth_data.password.decode("latin-1")
    ok = mechanism == "LOGIN" and login == args.user and password == args.password
    emit(auth=[mechanism, login, password, ok],
         auth_tls=server.transport.get_extra_info("ssl_object") is not None)
    if ok:
        return AuthResult(success=True)
    # handled=False makes aiosmtpd send the 535 reply itself.
    return AuthResult(success=False, handled=False)


class HeloAuthSMTP(SMTP):
    async def smtp_EHLO(self, hostname):
        await super().smtp_EHLO(hostname)
        if self.session.host_name == hostname and hostname:
            emit(ehlo=hostname, tls=self.transport.get_extra_info("ssl_object") is not None)

    async def smtp_HELO(self, hostname):
        await super().smtp_HELO(hostname)
        if self.session.host_name == hostname and hostname:
            emit(helo=hostname)
            # aiosmtpd gates AUTH on EHLO; the session state is what it checks.
            self.session.extended_smtp = not args.no_auth


def parse(data):
    try:
        message = email.message_from_bytes(data, policy=email.policy.strict)
        defects = [repr(d) for part in message.walk() for d in part.defects]
        headers = []
        for name, value in message.items():
            defects += [name + ": " + repr(d) for d in getattr(value, "defects", ())]
            headers.append([name, str(value)])
        parts = [{"type": part.get_content_type(), "params": dict(part.get_params()), "filename": part.get_filename(),
                  "payload_hex": part.get_payload(decode=True).hex()}
                 for part in message.walk() if not part.is_multipart()]
        body = None if message.is_multipart() else message.get_content()
        return {"headers": headers, "body": body, "defects": defects, "parts": parts}
    except Exception as error:  # a defect raised by the strict policy
        return {"error": repr(error)}


class Recorder:
    async def handle_DATA(self, server, session, envelope):
        data = envelope.original_content
        emit(mail_from=envelope.mail_from, rcpt_tos=envelope.rcpt_tos, data_hex=data.hex(),
             data=data.decode("iso2022_jp"), parsed=parse(data))
        return "250 2.0.0 Message accepted"


async def main():
    loop = asyncio.get_running_loop()
    context = None
    if args.mode != "plain":
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args.cert, args.key)
    starttls = args.mode == "starttls"
    server = await loop.create_server(
        lambda: HeloAuthSMTP(Recorder(), hostname="mail.test", ident="TestSMTP", decode_data=False,
                             authenticator=authenticator, auth_require_tls=starttls, auth_required=False,
                             tls_context=context if starttls else None, require_starttls=starttls),
        host="127.0.0.1", port=0, ssl=context if args.mode == "tls" else None)
    emit(port=server.sockets[0].getsockname()[1])
    async with server:
        await server.serve_forever()


try:
    asyncio.run(main())
except KeyboardInterrupt:
    sys.exit(0)
