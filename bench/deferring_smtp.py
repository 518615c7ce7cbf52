"""An SMTP server for the benchmarks on 127.0.0.1 that defers about half the first attempts.

/usr/bin/python3 deferring_smtp.py PORT: listens on 127.0.0.1:PORT (aiosmtpd) and answers the
end of every other new message "451 4.3.0 Try again later"; a message it has deferred once (by
its Message-ID) is taken the next time. Writes "ready" to standard output once it listens, then
one line "taken N" for each message taken. Runs until killed.
"""

import asyncio
import email.parser
import sys

from aiosmtpd.controller import Controller


class Deferring:
    def __init__(self):
        self.seen = 0
        self.deferred = set()
        self.taken = 0

    async def handle_DATA(self, server, session, envelope):
        headers = email.parser.BytesHeaderParser().parsebytes(envelope.content)
        message_id = headers.get("Message-ID", "")
        if message_id not in self.deferred:
            self.seen += 1
            if self.seen % 2 == 1:
                self.deferred.add(message_id)
                return "451 4.3.0 Try again later"
        self.taken += 1
        print("taken", self.taken, flush=True)
        return "250 2.0.0 Ok: queued"


def main():
    controller = Controller(Deferring(), hostname="127.0.0.1", port=int(sys.argv[1]))
    controller.start()
    print("ready", flush=True)
    try:
        asyncio.new_event_loop().run_forever()
    finally:
        controller.stop()


if __name__ == "__main__":
    main()
