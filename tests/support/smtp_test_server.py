"""SMTP server for the e-mail tests, on 127.0.0.1 only.

Prints "PORT <n>" once it listens, then records each connection, each command and each received message as one
JSON line in the events file, written before the server answers, so a client that got its answer can read it.
"disconnect" is recorded when the client's connection has gone.

Modes:
  normal     AUTH LOGIN and PLAIN offered; the given user and password are accepted
  noauth     no AUTH offered
  plainonly  AUTH offered, but only PLAIN
  helo       EHLO refused, HELO accepted (so no capability list)
  silent     accepts the connection and never answers
  closes     accepts the connection and closes it at once
  refuses    greets with 554
Every mode rejects a recipient whose local part is "nobody".
"""

import argparse
import asyncio
import base64
import email
import email.policy
import json
import sys

from aiosmtpd.smtp import SMTP, AuthResult


class Recorder:
    def __init__(self, path):
        self.file = open(path, "a", encoding="utf-8")

    def __call__(self, event, **fields):
        fields["event"] = event
        self.file.write(json.dumps(fields) + "\n")
        self.file.flush()


def summarize(content):
    msg = email.message_from_bytes(content, policy=email.policy.default)
    defects = [type(d).__name__ for d in msg.defects]
    parts = []
    if msg.is_multipart():
        for part in msg.iter_parts():
            defects += [type(d).__name__ for d in part.defects]
            payload = part.get_payload(decode=True) or b""
            parts.append({
                "content_type": part.get_content_type(),
                "filename": part.get_filename(),
                "disposition": part.get_content_disposition(),
                "transfer_encoding": part.get("Content-Transfer-Encoding", ""),
                "payload": base64.b64encode(payload).decode("ascii"),
            })
    to = msg["To"]
    return {
        "from": str(msg["From"]),
        "subject": str(msg["Subject"]),
        "to_addresses": [a.addr_spec for a in to.addresses] if to is not None else [],
        "to_names": [a.display_name for a in to.addresses] if to is not None else [],
        "multipart": msg.is_multipart(),
        "parts": parts,
        "defects": defects,
        "raw": base64.b64encode(content).decode("ascii"),
    }


class Handler:
    def __init__(self, record):
        self.record = record

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.split("@")[0].lower() == "nobody":
            return "550 5.1.1 <%s>: Recipient address rejected" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.record("message", mail_from=envelope.mail_from, rcpt_tos=envelope.rcpt_tos,
                    **summarize(envelope.content))
        return "250 OK: queued"


def make_protocol(args, record):
    class Recording(SMTP):
        def connection_made(self, transport):
            record("connect")
            super().connection_made(transport)

        def connection_lost(self, error):
            record("disconnect")
            super().connection_lost(error)

        async def _handle_client(self):
            if args.greet_delay_ms:
                await asyncio.sleep(args.greet_delay_ms / 1000.0)
            await super()._handle_client()

        async def smtp_EHLO(self, arg):
            record("EHLO", arg=arg)
            if args.mode == "helo":
                await self.push('500 Error: command "EHLO" not recognized')
                return
            await super().smtp_EHLO(arg)

        async def smtp_HELO(self, arg):
            record("HELO", arg=arg)
            await super().smtp_HELO(arg)

        async def smtp_AUTH(self, arg):
            record("AUTH", arg=arg)
            await super().smtp_AUTH(arg)

        async def smtp_MAIL(self, arg):
            record("MAIL", arg=arg)
            await super().smtp_MAIL(arg)

        async def smtp_RCPT(self, arg):
            record("RCPT", arg=arg)
            await super().smtp_RCPT(arg)

        async def smtp_DATA(self, arg):
            record("DATA")
            await super().smtp_DATA(arg)

        async def smtp_QUIT(self, arg):
            record("QUIT")
            await super().smtp_QUIT(arg)

    def authenticator(server, session, envelope, mechanism, auth_data):
        login = auth_data.login.decode("utf-8", "replace")
        password = auth_data.password.decode("utf-8", "replace")
        ok = login == args.user and password == args.password
        record("login", mechanism=mechanism, user=login, success=ok)
        return AuthResult(success=ok, handled=False)

    options = {"hostname": "smtp.test", "ident": "test server"}
    if args.mode in ("normal", "plainonly", "helo"):
        options.update(authenticator=authenticator, auth_require_tls=False)
    if args.mode == "plainonly":
        options["auth_exclude_mechanism"] = ["LOGIN"]
    handler = Handler(record)
    return lambda: Recording(handler, **options)


async def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--mode", default="normal")
    parser.add_argument("--user", default="")
    parser.add_argument("--password", default="")
    parser.add_argument("--events", required=True)
    parser.add_argument("--greet-delay-ms", type=int, default=0)
    args = parser.parse_args()
    record = Recorder(args.events)
    loop = asyncio.get_running_loop()

    if args.mode in ("silent", "closes", "refuses"):
        async def raw_client(reader, writer):
            record("connect")
            if args.mode == "closes":
                writer.close()
                record("disconnect")
                return
            if args.mode == "refuses":
                writer.write(b"554 5.3.2 No service here\r\n")
                await writer.drain()
            await reader.read()
            writer.close()
            record("disconnect")

        server = await asyncio.start_server(raw_client, "127.0.0.1", 0)
    else:
        server = await loop.create_server(make_protocol(args, record), "127.0.0.1", 0)

    print("PORT %d" % server.sockets[0].getsockname()[1], flush=True)
    async with server:
        await server.serve_forever()


if __name__ == "__main__":
    try:
        asyncio.run(main())
    except KeyboardInterrupt:
        sys.exit(0)
