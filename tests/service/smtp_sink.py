"""A real SMTP server on 127.0.0.1 for the service's tests (aiosmtpd).

    smtp_sink.py FOLDER

Listens on a free port, prints "port N" on a line of its own, and writes
every message it accepts to FOLDER/message-K.eml, preceded by lines
"X-Envelope-From: ..." and "X-Envelope-To: ...". The recipient
refused@example.org is refused with 550. Ends when its standard input closes
or after five minutes, whichever comes first.
"""
import asyncio
import os
import sys

from aiosmtpd.smtp import SMTP


class Sink:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.lower() == "refused@example.org":
            return "550 5.1.1 No such mailbox here"
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        path = os.path.join(self.folder, f"message-{self.count}.eml")
        head = (f"X-Envelope-From: {envelope.mail_from}\r\n"
                f"X-Envelope-To: {','.join(envelope.rcpt_tos)}\r\n").encode()
        with open(path + ".part", "wb") as out:
            out.write(head + envelope.original_content)
        os.rename(path + ".part", path)
        return "250 Message accepted"


async def main(folder):
    loop = asyncio.get_running_loop()
    sink = Sink(folder)
    server = await loop.create_server(lambda: SMTP(sink, hostname="sink.test"), "127.0.0.1", 0)
    print(f"port {server.sockets[0].getsockname()[1]}", flush=True)
    stdin_closed = loop.run_in_executor(None, sys.stdin.read)
    await asyncio.wait([stdin_closed], timeout=300)
    server.close()
    # The thread still reading standard input must not keep us alive.
    os._exit(0)


if __name__ == "__main__":
    asyncio.run(main(sys.argv[1]))
