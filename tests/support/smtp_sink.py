#!/usr/bin/python3
"""An SMTP server for tests: listens on 127.0.0.1, stores every message it accepts.

Usage: smtp_sink.py DIR [FAIL_FILE]
Prints "port N" once listening. Each accepted message becomes DIR/msg-NNNNNN.txt:
"from", "to" (comma-separated), "subject" (decoded), "charset" lines, an empty line, then
the decoded body with LF line ends. While FAIL_FILE exists, every message is refused
with a temporary 451 reply.
"""
import asyncio
import email
import email.policy
import os
import signal
import sys

from aiosmtpd.smtp import SMTP


class Store:
    def __init__(self, directory, fail_file):
        self.directory = directory
        self.fail_file = fail_file
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        if self.fail_file and os.path.exists(self.fail_file):
            return "451 4.3.0 test server says try again later"
        message = email.message_from_bytes(envelope.content, policy=email.policy.default)
        body = message.get_content().replace("\r\n", "\n")
        self.count += 1
        text = "from %s\nto %s\nsubject %s\ncharset %s\n\n%s" % (
            envelope.mail_from, ",".join(envelope.rcpt_tos), str(message["subject"]),
            message.get_content_charset(), body)
        path = os.path.join(self.directory, "msg-%06d.txt" % self.count)
        with open(path + ".tmp", "w", encoding="utf-8") as out:
            out.write(text)
        os.rename(path + ".tmp", path)
        return "250 2.0.0 stored as %d" % self.count


async def main():
    store = Store(sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None)
    loop = asyncio.get_running_loop()
    server = await loop.create_server(lambda: SMTP(store, hostname="sink.test"), "127.0.0.1", 0)
    print("port %d" % server.sockets[0].getsockname()[1], flush=True)
    stop = asyncio.Event()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    await stop.wait()


asyncio.run(main())
