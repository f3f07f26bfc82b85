"""A real SMTP server (aiosmtpd) for the mail tests, on 127.0.0.1 with a free port.

Prints one JSON object per line on stdout (and appends it to --record FILE when given):
  {"port": N}                                  once listening
  {"helo": NAME}                               each accepted HELO
  {"auth": [MECHANISM, LOGIN, PASSWORD, OK]}   each authentication attempt
  {"mail_from": ..., "rcpt_tos": [...], "data_hex": ..., "data": ...}
                                               each message; data is the DATA bytes read as ISO-2022-JP
AUTH LOGIN is offered without TLS and, unlike stock aiosmtpd, also after HELO (the client under test
never says EHLO). Credentials other than --user/--password are refused with 535. Runs until killed.
"""

import argparse
import asyncio
import json
import sys
import logging

from aiosmtpd.smtp import SMTP, AuthResult

parser = argparse.ArgumentParser()
parser.add_argument("--user", required=True)
parser.add_argument("--password", required=True)
parser.add_argument("--record")
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
    emit(auth=[mechanism, login, password, ok])
    if ok:
        return AuthResult(success=True)
    # handled=False makes aiosmtpd send the 535 reply itself.
    return AuthResult(success=False, handled=False)


class HeloAuthSMTP(SMTP):
    async def smtp_HELO(self, hostname):
        await super().smtp_HELO(hostname)
        if self.session.host_name == hostname and hostname:
            emit(helo=hostname)
            # aiosmtpd gates AUTH on EHLO; the session state is what it checks.
            self.session.extended_smtp = True


class Recorder:
    async def handle_DATA(self, server, session, envelope):
        data = envelope.original_content
        emit(mail_from=envelope.mail_from, rcpt_tos=envelope.rcpt_tos, data_hex=data.hex(),
             data=data.decode("iso2022_jp"))
        return "250 2.0.0 Message accepted"


async def main():
    loop = asyncio.get_running_loop()
    server = await loop.create_server(
        lambda: HeloAuthSMTP(Recorder(), hostname="mail.test", ident="TestSMTP", decode_data=False,
                             authenticator=authenticator, auth_require_tls=False, auth_required=False),
        host="127.0.0.1", port=0)
    emit(port=server.sockets[0].getsockname()[1])
    async with server:
        await server.serve_forever()


try:
    asyncio.run(main())
except KeyboardInterrupt:
    sys.exit(0)
