#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A mail server on 127.0.0.1 for tests: accepts every message and stores each one, as received,
in OUTDIR/<n>.eml with the envelope in OUTDIR/<n>.envelope. Prints "port N" once it listens.

usage: smtp-sink.py OUTDIR [--delay SECONDS] [--refuse] [--user NAME --password SECRET]
  --delay     wait this long before accepting each message's data
  --refuse    answer every message with a permanent failure
  --user, --password   require this login (AUTH PLAIN/LOGIN, allowed without TLS)
"""
import argparse
import asyncio
import os
import signal
import sys

from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword


class Store:
    def __init__(self, outdir, delay, refuse):
        self.outdir = outdir
        self.delay = delay
        self.refuse = refuse
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        if self.delay:
            await asyncio.sleep(self.delay)
        if self.refuse:
            return "554 Transaction failed: refused for the test"
        self.count += 1
        base = os.path.join(self.outdir, str(self.count))
        with open(base + ".envelope.tmp", "w") as out:
            out.write("from " + envelope.mail_from + "\n")
            for rcpt in envelope.rcpt_tos:
                out.write("to " + rcpt + "\n")
            out.write("login " + (getattr(session, "test_login", None) or "") + "\n")
        with open(base + ".eml.tmp", "wb") as out:
            out.write(envelope.original_content)
        os.rename(base + ".envelope.tmp", base + ".envelope")
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 Message accepted"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("outdir")
    parser.add_argument("--delay", type=float, default=0.0)
    parser.add_argument("--refuse", action="store_true")
    parser.add_argument("--user")
    parser.add_argument("--password")
    args = parser.parse_args()
    os.makedirs(args.outdir, exist_ok=True)
    handler = Store(args.outdir, args.delay, args.refuse)

    def authenticate(server, session, envelope, mechanism, auth_data):
        ok = (isinstance(auth_data, LoginPassword)
              and auth_data.login.decode() == args.user
              and auth_data.password.decode() == args.password)
        if ok:
            session.test_login = args.user
        return AuthResult(success=ok)

    def factory():
        if args.user:
            return SMTP(handler, authenticator=authenticate, auth_required=True,
                        auth_require_tls=False, enable_SMTPUTF8=True)
        return SMTP(handler, enable_SMTPUTF8=True)

    loop = asyncio.new_event_loop()
    server = loop.run_until_complete(loop.create_server(factory, "127.0.0.1", 0))
    port = server.sockets[0].getsockname()[1]
    print("port", port, flush=True)
    for sig in (signal.SIGTERM, signal.SIGINT):
        loop.add_signal_handler(sig, loop.stop)
    loop.run_forever()
    server.close()


if __name__ == "__main__":
    sys.exit(main())
